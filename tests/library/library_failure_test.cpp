// Folders that cannot be listed: nothing is added, the scan goes on, and the
// run counters still advance by their one empty slot.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "LibraryTree.h"

namespace tembrel::test {
namespace {

using library::CMediaLibrary;

TEST(LibraryFailure, ArtistFolderGoneBeforeItsScanStillTakesItsEmptyRuns) {
    LibraryTree tree;
    tree.file("music/Gone/Album/a.mp3");
    tree.file("music/Kept/k.mp3");

    CMediaLibrary library;
    library.scanLocation(tree.path("music"));
    library.sortArtists();
    ASSERT_EQ(library.artist(1).name, "Gone");
    std::filesystem::remove_all(tree.path("music/Gone"));

    library.scanArtist(1, library.artist(1).name);
    EXPECT_EQ(library.artist(1).albumCount, 0);
    EXPECT_EQ(library.artist(1).looseTrackCount, 0);
    EXPECT_EQ(library.nextAlbumSlot(), 1);
    EXPECT_EQ(library.nextTrackSlot(), 1);

    library.scanArtist(2, library.artist(2).name);
    EXPECT_EQ(library.artist(2).firstAlbum, 1);
    EXPECT_EQ(library.artist(2).firstLooseTrack, 1);
    EXPECT_EQ(library.track(1).fileName, "k.mp3");
    EXPECT_EQ(library.trackTotal(), 1);
}

TEST(LibraryFailure, AlbumFolderGoneBeforeItsScanTakesOnlyItsEmptyRun) {
    LibraryTree tree;
    tree.file("music/Artist/Album/a.mp3");
    CMediaLibrary library;
    library.scanLocation(tree.path("music"));

    // An album slot the table does not hold is never written.
    library.scanAlbum(1, "Artist", 5, "Album");
    EXPECT_EQ(library.albumSlotCount(), 0);
    EXPECT_EQ(library.nextTrackSlot(), 0);

    std::filesystem::remove_all(tree.path("music/Artist/Album"));
    library.scanArtist(1, "Artist");
    EXPECT_EQ(library.artist(1).albumCount, 0);
    EXPECT_EQ(library.nextTrackSlot(), 1); // the empty loose-track run
}

TEST(LibraryFailure, UnreadableAlbumFolderAddsNoTracks) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "permissions do not stop root from listing a folder";
    }
    LibraryTree tree;
    tree.file("music/Artist/Locked/a.mp3");
    tree.file("music/Artist/Open/b.mp3");
    ASSERT_EQ(chmod(tree.path("music/Artist/Locked").c_str(), 0), 0);

    CMediaLibrary library;
    library.buildLibrary({tree.path("music"), "", "", "", ""});

    EXPECT_EQ(library.albumTotal(), 2);
    EXPECT_EQ(library.trackTotal(), 1);
    EXPECT_EQ(library.nextTrackSlot(), 1 + 2 + 1); // both album runs and the loose run
    for (int slot = 0; slot < 2; ++slot) {
        const library::AlbumRecord& album = library.album(slot);
        EXPECT_EQ(album.trackCount, album.name == "Open" ? 1 : 0) << album.name;
    }
}

TEST(LibraryFailure, ResetThenRescanCountsOnlyTheNewScan) {
    LibraryTree tree;
    tree.file("music/A/X/1.mp3");
    tree.file("music/A/X/2.mp3");
    tree.file("music/B/3.mp3");
    tree.file("music/C/Y/4.wma");

    CMediaLibrary library;
    library.buildLibrary({tree.path("music"), "", "", "", ""});
    ASSERT_EQ(library.trackTotal(), 4);

    library.reset();
    EXPECT_EQ(library.nextArtistSlot(), 1);
    EXPECT_EQ(library.nextAlbumSlot(), 0);
    EXPECT_EQ(library.nextTrackSlot(), 0);
    EXPECT_EQ(library.artistTotal() + library.albumTotal() + library.trackTotal(), 0);
    // Nothing of the old scan stays addressable.
    EXPECT_EQ(library.artistSlotCount(), 1);
    EXPECT_EQ(library.albumSlotCount(), 0);
    EXPECT_EQ(library.trackSlotCount(), 0);
    EXPECT_EQ(library.artist(0).name, "");

    std::filesystem::remove_all(tree.path("music/C"));
    tree.file("music/D/Z/5.mp3");
    library.buildLibrary({tree.path("music"), "", "", "", ""});

    CMediaLibrary fresh;
    fresh.buildLibrary({tree.path("music"), "", "", "", ""});
    EXPECT_EQ(library.artistTotal(), 3);
    EXPECT_EQ(library.albumTotal(), 2);
    EXPECT_EQ(library.trackTotal(), 4);
    EXPECT_EQ(library.nextArtistSlot(), fresh.nextArtistSlot());
    EXPECT_EQ(library.nextAlbumSlot(), fresh.nextAlbumSlot());
    EXPECT_EQ(library.nextTrackSlot(), fresh.nextTrackSlot());
    for (int slot = 1; slot < fresh.nextArtistSlot(); ++slot) {
        EXPECT_EQ(library.artist(slot).name, fresh.artist(slot).name);
        EXPECT_EQ(library.artist(slot).albumCount, fresh.artist(slot).albumCount);
        EXPECT_EQ(library.artist(slot).looseTrackCount, fresh.artist(slot).looseTrackCount);
    }
}

} // namespace
} // namespace tembrel::test
