// Full tables stop the scan quietly and never write past a table: the artist,
// album and track limits, including the last slot that only the first entry
// of a listing can take.
#include <algorithm>
#include <array>

#include <gtest/gtest.h>

#include "LibraryTree.h"

namespace tembrel::test {
namespace {

using library::CMediaLibrary;
constexpr int kMaxArtists = CMediaLibrary::kMaxArtists;
constexpr int kMaxAlbums = CMediaLibrary::kMaxAlbums;
constexpr int kMaxTracks = CMediaLibrary::kMaxTracks;

void makeFolders(const LibraryTree& tree, const std::string& parent, int count) {
    for (int i = 0; i < count; ++i) {
        tree.folder(parent + "/f" + std::to_string(i));
    }
}

// Folders on disk whose single entry the file system lists before "." and
// ".." (first) or after one of them (later): a table with one slot left
// takes a first-listed entry and nothing else.
struct FirstEntryFolders {
    FirstEntryFolders(bool asFolder, std::string_view suffix)
        : first(disk.singleEntryFolder("first", asFolder, suffix, true)),
          later(disk.singleEntryFolder("later", asFolder, suffix, false)) {}

    [[nodiscard]] bool found() const { return !first.empty() && !later.empty(); }

    LibraryTree disk{LibraryTree::Storage::Disk};
    std::string first;
    std::string later;
};

constexpr const char* kNoHashOrder = "the temporary folder's file system lists . and .. first";

TEST(LibraryLimits, ArtistTableStopsBelowItsSize) {
    FirstEntryFolders locations(true, "");
    if (!locations.found()) {
        GTEST_SKIP() << kNoHashOrder;
    }
    LibraryTree tree;
    makeFolders(tree, "full", kMaxArtists + 100);
    tree.folder("never/Artist");
    const std::string full = tree.path("full");
    const std::string later = locations.disk.path("later");
    const std::string first = locations.disk.path("first");
    const std::string never = tree.path("never");

    RecordingLibrary recorder;
    CMediaLibrary& library = recorder.library;
    library.buildLibrary({full, later, first, never, ""});

    // The first Location fills slots 1 to 1998; the last slot goes to the
    // first listed entry of a later Location only; a full table stops the
    // scan before the Location is even logged.
    const auto logged = [&](const std::string& line) {
        return std::count(recorder.logLines.begin(), recorder.logLines.end(), line);
    };
    EXPECT_EQ(logged(full), 1);
    EXPECT_EQ(logged(later), 1);
    EXPECT_EQ(logged(first), 1);
    EXPECT_EQ(logged(never), 0);
    ASSERT_EQ(library.nextArtistSlot(), kMaxArtists);
    EXPECT_EQ(library.artistTotal(), kMaxArtists - 1);
    EXPECT_EQ(logged(locations.first + " " + std::to_string(kMaxArtists - 1)), 1);
    EXPECT_EQ(logged(locations.later + " " + std::to_string(kMaxArtists - 1)), 0);

    // Every artist folder is empty, so each takes one album slot and one track
    // slot for its empty runs.
    EXPECT_EQ(library.nextAlbumSlot(), kMaxArtists - 1);
    EXPECT_EQ(library.nextTrackSlot(), kMaxArtists - 1);
    EXPECT_EQ(library.artist(kMaxArtists - 1).firstAlbum, kMaxArtists - 2);
    EXPECT_EQ(library.albumTotal(), 0);
}

TEST(LibraryLimits, AlbumTableFillsAndLaterArtistsGetNothing) {
    LibraryTree tree;
    makeFolders(tree, "music/A", kMaxAlbums + 100);
    tree.file("music/B/Album/b.mp3");
    tree.file("music/B/loose.mp3");

    CMediaLibrary library;
    library.buildLibrary({tree.path("music"), "", "", "", ""});

    EXPECT_EQ(library.artist(1).albumCount, kMaxAlbums - 1);
    EXPECT_EQ(library.albumTotal(), kMaxAlbums - 1);
    EXPECT_EQ(library.nextAlbumSlot(), kMaxAlbums);
    EXPECT_EQ(library.album(kMaxAlbums - 1).name, "");
    EXPECT_EQ(library.nextTrackSlot(), kMaxAlbums); // 1999 empty album runs, one loose run

    const library::ArtistRecord& late = library.artist(2);
    ASSERT_EQ(late.name, "B");
    EXPECT_EQ(late.albumCount, 0);
    EXPECT_EQ(late.looseTrackCount, 0);
    EXPECT_EQ(late.firstAlbum, 0);
    EXPECT_EQ(late.firstLooseTrack, 0);
    EXPECT_EQ(library.trackTotal(), 0);
}

TEST(LibraryLimits, LastAlbumSlotGoesOnlyToAFirstListedFolder) {
    FirstEntryFolders artists(true, "");
    if (!artists.found()) {
        GTEST_SKIP() << kNoHashOrder;
    }
    LibraryTree tree;
    makeFolders(tree, "music/A", kMaxAlbums - 2);
    tree.symlink(artists.disk.path("first"), "music/B");
    tree.symlink(artists.disk.path("later"), "music/C");

    for (const int lateArtist : {2, 3}) {
        CMediaLibrary library;
        library.scanLocation(tree.path("music"));
        library.sortArtists();
        library.scanArtist(1, "A");
        ASSERT_EQ(library.nextAlbumSlot(), kMaxAlbums - 1);

        library.scanArtist(lateArtist, library.artist(lateArtist).name);
        const bool taken = lateArtist == 2;
        EXPECT_EQ(library.artist(lateArtist).albumCount, taken ? 1 : 0);
        EXPECT_EQ(library.album(kMaxAlbums - 1).name, taken ? artists.first : "");
        EXPECT_EQ(library.nextAlbumSlot(), taken ? kMaxAlbums + 1 : kMaxAlbums);
        EXPECT_EQ(library.albumTotal(), kMaxAlbums - 2 + (taken ? 1 : 0));
    }
}

// 27,000 empty files are made once for the track-limit tests.
class LibraryTrackLimits : public ::testing::Test {
protected:
    static constexpr int kBigAlbum = 7000;

    static void SetUpTestSuite() {
        tree_ = new LibraryTree;
        for (const char* album : {"A/1", "A/2", "A/3"}) {
            tree_->audioFiles(std::string("music/") + album, "t", kBigAlbum);
        }
        tree_->file("music/A/loose.mp3");
        tree_->file("music/B/Album/b.mp3");
        // Leaves exactly one free track slot after A/1 and A/2.
        tree_->audioFiles("rest/C/fill", "c", kMaxTracks - 2 * (kBigAlbum + 1) - 2);
    }
    static void TearDownTestSuite() {
        delete tree_;
        tree_ = nullptr;
    }

    static LibraryTree* tree_;
};

LibraryTree* LibraryTrackLimits::tree_ = nullptr;

TEST_F(LibraryTrackLimits, TrackTableFillsAndLaterFoldersGetNoTracks) {
    CMediaLibrary library;
    library.buildLibrary({tree_->path("music"), "", "", "", ""});

    // Two albums fit; the third stops when one slot is left; every later run
    // gets nothing, though later albums are still taken.
    constexpr int kThirdAlbum = kMaxTracks - 1 - 2 * (kBigAlbum + 1);
    EXPECT_EQ(library.trackTotal(), 2 * kBigAlbum + kThirdAlbum);
    EXPECT_EQ(library.nextTrackSlot(), kMaxTracks);
    EXPECT_EQ(library.albumTotal(), 4);
    std::vector<int> counts;
    for (int slot = 0; slot < library.artist(1).albumCount; ++slot) {
        counts.push_back(library.album(slot).trackCount);
    }
    std::sort(counts.begin(), counts.end());
    EXPECT_EQ(counts, (std::vector<int>{kThirdAlbum, kBigAlbum, kBigAlbum}));
    EXPECT_EQ(library.artist(1).looseTrackCount, 0);
    EXPECT_EQ(library.album(library.artist(2).firstAlbum).trackCount, 0);
    EXPECT_EQ(library.album(library.artist(2).firstAlbum).name, "Album");
    EXPECT_EQ(library.track(kMaxTracks - 1).fileName, "");
}

TEST_F(LibraryTrackLimits, LastTrackSlotGoesOnlyToAFirstListedFile) {
    FirstEntryFolders albums(false, ".mp3");
    if (!albums.found()) {
        GTEST_SKIP() << kNoHashOrder;
    }
    tree_->symlink(albums.disk.path("first"), "rest/C/first");
    tree_->symlink(albums.disk.path("later"), "rest/C/later");

    for (const bool taken : {true, false}) {
        CMediaLibrary library;
        library.scanLocation(tree_->path("music"));
        library.scanLocation(tree_->path("rest"));
        library.sortArtists();
        ASSERT_EQ(library.artist(1).name, "A");
        ASSERT_EQ(library.artist(3).name, "C");

        library.scanAlbum(1, "A", 0, "1");
        library.scanAlbum(1, "A", 1, "2");
        library.scanAlbum(3, "C", 2, "fill");
        ASSERT_EQ(library.nextTrackSlot(), kMaxTracks - 1);

        library.scanAlbum(3, "C", 3, taken ? "first" : "later");
        EXPECT_EQ(library.album(3).firstTrack, kMaxTracks - 1);
        EXPECT_EQ(library.album(3).trackCount, taken ? 1 : 0);
        EXPECT_EQ(library.track(kMaxTracks - 1).fileName, taken ? albums.first : "");
        EXPECT_EQ(library.nextTrackSlot(), taken ? kMaxTracks + 1 : kMaxTracks);

        // The table is full now: a further album keeps its first track at 0.
        library.scanAlbum(2, "B", 4, "Album");
        EXPECT_EQ(library.album(4).firstTrack, 0);
        EXPECT_EQ(library.album(4).trackCount, 0);
    }
}

} // namespace
} // namespace tembrel::test
