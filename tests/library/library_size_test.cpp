// Libraries of any size are taken whole: no table fills, every artist, album
// and track is listed with the slot layout clients number from. The tree is
// past every size the fixed tables had (2,000 artists, 2,000 albums, 20,000
// tracks); the client-side listing of a 50,000-track library is an
// end-to-end test.
#include <gtest/gtest.h>

#include "LibraryTree.h"

namespace tembrel::test {
namespace {

using library::CMediaLibrary;

constexpr int kArtists = 2100;
constexpr int kArtistsWithTwoAlbums = 100;
constexpr int kTracksPerAlbum = 10;
constexpr int kAlbums = kArtists + kArtistsWithTwoAlbums;

TEST(LibrarySize, EveryArtistAlbumAndTrackOfALargeTreeIsTaken) {
    LibraryTree tree;
    for (int artist = 0; artist < kArtists; ++artist) {
        const std::string name = "music/Artist " + std::to_string(100000 + artist);
        const int albums = artist < kArtistsWithTwoAlbums ? 2 : 1;
        for (int album = 0; album < albums; ++album) {
            tree.audioFiles(name + "/Album " + std::to_string(album), "t", kTracksPerAlbum);
        }
    }
    tree.audioFiles("music/Artist 199999", "loose", 3); // the last artist, loose tracks only

    RecordingLibrary recorder;
    CMediaLibrary& library = recorder.library;
    library.buildLibrary({tree.path("music"), "", "", "", ""});

    ASSERT_EQ(library.artistTotal(), kArtists + 1);
    ASSERT_EQ(library.nextArtistSlot(), kArtists + 2);
    EXPECT_EQ(library.albumTotal(), kAlbums);
    EXPECT_EQ(library.trackTotal(), kAlbums * kTracksPerAlbum + 3);

    // Every artist has its albums and tracks: each album run and track run is
    // followed by one empty slot, as in the fixed-table layout.
    int album = 0;
    int track = 0;
    for (int slot = 1; slot <= kArtists; ++slot) {
        const library::ArtistRecord& artist = library.artist(slot);
        ASSERT_EQ(artist.name, "Artist " + std::to_string(100000 + slot - 1));
        ASSERT_EQ(artist.firstAlbum, album);
        ASSERT_EQ(artist.albumCount, slot <= kArtistsWithTwoAlbums ? 2 : 1);
        for (int k = 0; k < artist.albumCount; ++k) {
            ASSERT_EQ(library.album(album + k).firstTrack, track);
            ASSERT_EQ(library.album(album + k).trackCount, kTracksPerAlbum);
            track += kTracksPerAlbum + 1;
        }
        album += artist.albumCount + 1;
        ASSERT_EQ(artist.firstLooseTrack, track);
        track += 1;
    }
    const library::ArtistRecord& last = library.artist(kArtists + 1);
    EXPECT_EQ(last.looseTrackCount, 3);
    EXPECT_EQ(library.track(last.firstLooseTrack + 2).fileName, "loose2.mp3");
    EXPECT_EQ(library.nextTrackSlot(), track + 4);

    EXPECT_EQ(recorder.logLines.back(),
              "Location " + tree.path("music") + ": 2101 artists, 2200 albums, 22003 tracks");
}

} // namespace
} // namespace tembrel::test
