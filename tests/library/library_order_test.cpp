// Albums and tracks come in name order ignoring letter case, names equal but
// for case in byte order, whatever order the file system lists them in.
#include <gtest/gtest.h>

#include "LibraryTree.h"
#include "library/NameOrder.h"

namespace tembrel::test {
namespace {

using library::CMediaLibrary;
using Names = std::vector<std::string>;

Names listed(const CMediaLibrary& library, int first, int count, bool albums) {
    Names names;
    for (int slot = first; slot < first + count; ++slot) {
        names.push_back(albums ? library.album(slot).name : library.track(slot).fileName);
    }
    return names;
}

TEST(LibraryOrder, AlbumsAndTracksAreInNameOrderIgnoringCase) {
    // On disk the file system lists entries in hash order, not by name.
    LibraryTree tree(LibraryTree::Storage::Disk);
    for (const char* album : {"b side", "A Side", "LIVE", "Live", "\xC3\x89t\xC3\xA9", "zoo"}) {
        tree.folder(std::string("music/Band/") + album);
    }
    for (const char* track : {"02 Gulls.mp3", "01 Low Tide.mp3", "10 Dune.MP3", "03 inlet.flac",
                              "03 Inlet.mp3", "\xC3\xA9t\xC3\xA9.ogg", "\xC3\x89t\xC3\xA9 B.ogg"}) {
        tree.file(std::string("music/Band/A Side/") + track);
        tree.file(std::string("music/Band/") + track);
    }

    CMediaLibrary library;
    library.buildLibrary({tree.path("music"), "", "", "", ""});
    const library::ArtistRecord& band = library.artist(1);
    EXPECT_EQ(listed(library, band.firstAlbum, band.albumCount, true),
              (Names{"A Side", "b side", "LIVE", "Live", "zoo", "\xC3\x89t\xC3\xA9"}));
    const Names tracks{"01 Low Tide.mp3",      "02 Gulls.mp3", "03 inlet.flac",
                       "03 Inlet.mp3",         "10 Dune.MP3",  "\xC3\x89t\xC3\xA9 B.ogg",
                       "\xC3\xA9t\xC3\xA9.ogg"};
    const library::AlbumRecord& aSide = library.album(band.firstAlbum);
    EXPECT_EQ(listed(library, aSide.firstTrack, aSide.trackCount, false), tracks);
    EXPECT_EQ(listed(library, band.firstLooseTrack, band.looseTrackCount, false), tracks);
}

TEST(NameOrder, FoldsEveryScriptAndBreaksTiesByBytes) {
    EXPECT_TRUE(library::nameBefore("apple", "Banana"));
    EXPECT_TRUE(library::nameBefore("LIVE", "Live")); // equal ignoring case: bytes decide
    EXPECT_FALSE(library::nameBefore("Live", "LIVE"));
    EXPECT_FALSE(library::nameBefore("same", "same"));
    EXPECT_TRUE(library::nameBefore("\xC3\x89"
                                    "a",
                                    "\xC3\xA9"
                                    "b")); // Éa before éb
    EXPECT_TRUE(library::nameBefore("ab", "abc"));
}

} // namespace
} // namespace tembrel::test
