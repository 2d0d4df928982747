// Slot layout of the library tables: runs, empty slots after runs, which
// entries become artists, albums and tracks, and how links are followed.
#include <gtest/gtest.h>

#include "LibraryTree.h"

namespace tembrel::test {
namespace {

using library::CMediaLibrary;
using Names = std::vector<std::string>;

std::array<std::string, CMediaLibrary::kLocationCount> only(const std::string& location) {
    return {location, "", "", "", ""};
}

TEST(LibraryLayout, EveryRunIsFollowedByOneEmptySlot) {
    LibraryTree tree;
    tree.file("music/A/First/1.mp3");
    tree.file("music/A/First/2.mp3");
    tree.file("music/B/Second/3.mp3");
    tree.file("music/B/Second/4.mp3");

    CMediaLibrary library;
    library.buildLibrary(only(tree.path("music")));

    ASSERT_EQ(library.nextArtistSlot(), 3);
    EXPECT_EQ(library.artist(1).name, "A");
    EXPECT_EQ(library.artist(2).name, "B");
    EXPECT_EQ(library.artist(0).name, "");
    EXPECT_EQ(library.artist(0).location, "");

    // Albums at 0 and 2, album tracks at 0-1 and 4-5, loose runs at 3 and 7.
    EXPECT_EQ(library.artist(1).firstAlbum, 0);
    EXPECT_EQ(library.artist(2).firstAlbum, 2);
    EXPECT_EQ(library.artist(1).albumCount, 1);
    EXPECT_EQ(library.artist(2).albumCount, 1);
    EXPECT_EQ(library.album(0).name, "First");
    EXPECT_EQ(library.album(2).name, "Second");
    EXPECT_EQ(library.album(0).artistIndex, 1);
    EXPECT_EQ(library.album(2).artistIndex, 2);
    EXPECT_EQ(library.album(1).name, "");
    EXPECT_EQ(library.album(0).firstTrack, 0);
    EXPECT_EQ(library.album(2).firstTrack, 4);
    EXPECT_EQ(trackNames(library, 0, 2), (Names{"1.mp3", "2.mp3"}));
    EXPECT_EQ(trackNames(library, 4, 2), (Names{"3.mp3", "4.mp3"}));
    EXPECT_EQ(library.track(2).fileName, "");
    EXPECT_EQ(library.artist(1).firstLooseTrack, 3);
    EXPECT_EQ(library.artist(2).firstLooseTrack, 7);
    EXPECT_EQ(library.artist(1).looseTrackCount, 0);

    EXPECT_EQ(library.nextAlbumSlot(), 4);
    EXPECT_EQ(library.nextTrackSlot(), 8);
    EXPECT_EQ(library.artistTotal(), 2);
    EXPECT_EQ(library.albumTotal(), 2);
    EXPECT_EQ(library.trackTotal(), 4);
}

TEST(LibraryLayout, FilesOfTheChosenFormatsInAnyCaseAreTracks) {
    LibraryTree tree;
    for (const char* name :
         {"a.mp3", "b.wma", "c.MP3", "d.Wma", "e.flac", "f.OGG", "g.oga", "h.Opus", "i.m4a",
          "j.WAV", "cover.jpg", "notes.mp3.txt", "mp3", "xwma", "k.mp4", "l.aac"}) {
        tree.file(std::string("music/Artist/Album/") + name);
    }
    // A folder with an audio name inside an album is neither a track nor an album.
    tree.folder("music/Artist/Album/extra.mp3");
    tree.file("music/Artist/Album/extra.mp3/e.mp3");

    CMediaLibrary library;
    library.buildLibrary(only(tree.path("music")));
    const library::AlbumRecord& album = library.album(0);
    EXPECT_EQ(trackNames(library, album.firstTrack, album.trackCount),
              (Names{"a.mp3", "b.wma", "c.MP3", "d.Wma", "e.flac", "f.OGG", "g.oga", "h.Opus",
                     "i.m4a", "j.WAV"}));
    EXPECT_EQ(library.albumTotal(), 1);
    EXPECT_EQ(library.trackTotal(), 10);

    // A narrower list, written in any case, takes only its formats.
    CMediaLibrary narrow;
    narrow.setFormats(*library::AudioFormats::fromList(".FLAC, mp3"));
    narrow.buildLibrary(only(tree.path("music")));
    const library::AlbumRecord& narrowAlbum = narrow.album(0);
    EXPECT_EQ(trackNames(narrow, narrowAlbum.firstTrack, narrowAlbum.trackCount),
              (Names{"a.mp3", "c.MP3", "e.flac"}));
}

TEST(AudioFormats, ListsTakeOnlyFormatsThePlayerDecodes) {
    std::vector<std::string> refused;
    const auto formats = library::AudioFormats::fromList("mp3 .Flac,,exe wav", &refused);
    ASSERT_TRUE(formats);
    EXPECT_EQ(formats->text(), "mp3,flac,wav");
    EXPECT_EQ(refused, (Names{"exe"}));
    EXPECT_FALSE(library::AudioFormats::fromList("exe, txt"));
    EXPECT_EQ(library::AudioFormats().text(), "mp3,wma,flac,ogg,oga,opus,m4a,wav");
    EXPECT_FALSE(library::AudioFormats().matches(".mp3"));
    EXPECT_TRUE(library::AudioFormats().matches("x.OpUs"));
}

TEST(LibraryLayout, ArtistWithOnlyFilesGetsLooseTracksAndNoAlbum) {
    LibraryTree tree;
    tree.file("music/Solo/one.mp3");
    tree.file("music/Solo/two.wma");
    tree.file("music/Solo/readme.txt");

    CMediaLibrary library;
    library.buildLibrary(only(tree.path("music")));

    const library::ArtistRecord& artist = library.artist(1);
    EXPECT_EQ(artist.albumCount, 0);
    EXPECT_EQ(artist.firstAlbum, 0);
    EXPECT_EQ(library.nextAlbumSlot(), 1); // the empty album run still takes a slot
    EXPECT_EQ(artist.firstLooseTrack, 0);
    EXPECT_EQ(trackNames(library, artist.firstLooseTrack, artist.looseTrackCount),
              (Names{"one.mp3", "two.wma"}));
    EXPECT_EQ(library.nextTrackSlot(), 3);
    EXPECT_EQ(library.trackTotal(), 2);
}

TEST(LibraryLayout, FilesInALocationAreIgnoredAndLocationsAreKeptApart) {
    LibraryTree tree;
    tree.file("one/stray.mp3");
    tree.file("one/Same/x.mp3");
    tree.file("two/Same/y.mp3");

    CMediaLibrary library;
    library.buildLibrary({tree.path("one"), tree.path("two"), "", "", ""});

    ASSERT_EQ(library.artistTotal(), 2);
    ASSERT_EQ(library.nextArtistSlot(), 3);
    EXPECT_EQ(library.artist(1).name, "Same");
    EXPECT_EQ(library.artist(2).name, "Same");
    EXPECT_EQ(library.artist(1).location, tree.path("one"));
    EXPECT_EQ(library.artist(2).location, tree.path("two"));
    EXPECT_EQ(library.track(library.artist(1).firstLooseTrack).fileName, "x.mp3");
    EXPECT_EQ(library.track(library.artist(2).firstLooseTrack).fileName, "y.mp3");
    EXPECT_EQ(library.trackTotal(), 2);
}

TEST(LibraryLayout, LinksAreFollowedToFoldersAndFiles) {
    LibraryTree tree;
    tree.file("elsewhere/Band/Live/live.mp3");
    tree.file("elsewhere/single.mp3");
    tree.folder("music/Band");
    tree.symlink(tree.path("elsewhere/Band/Live"), "music/Band/Live");
    tree.symlink(tree.path("elsewhere/single.mp3"), "music/Band/single.mp3");
    tree.symlink(tree.path("nowhere.mp3"), "music/Band/broken.mp3");
    tree.symlink(tree.path("elsewhere/Band"), "music/Linked");

    CMediaLibrary library;
    library.buildLibrary(only(tree.path("music")));

    ASSERT_EQ(library.artistTotal(), 2);
    const library::ArtistRecord& band = library.artist(1);
    ASSERT_EQ(band.name, "Band");
    EXPECT_EQ(band.albumCount, 1);
    EXPECT_EQ(library.album(band.firstAlbum).name, "Live");
    EXPECT_EQ(library.track(library.album(band.firstAlbum).firstTrack).fileName, "live.mp3");
    // The broken link is no file.
    EXPECT_EQ(trackNames(library, band.firstLooseTrack, band.looseTrackCount),
              (Names{"single.mp3"}));

    const library::ArtistRecord& linked = library.artist(2);
    ASSERT_EQ(linked.name, "Linked");
    EXPECT_EQ(linked.albumCount, 1);
    EXPECT_EQ(library.trackTotal(), 3);
}

TEST(LibraryLayout, LinkBackToTheLocationEndsAndListsItsArtistsAsAlbums) {
    LibraryTree tree;
    tree.file("music/Real/r.mp3");
    tree.symlink(tree.path("music"), "music/Self");

    CMediaLibrary library;
    library.buildLibrary(only(tree.path("music")));

    ASSERT_EQ(library.artistTotal(), 2);
    const library::ArtistRecord& self = library.artist(2);
    ASSERT_EQ(self.name, "Self");
    // Seen through the link, the Location's artist folders are Self's albums,
    // and the loose tracks of Real are the tracks of the album "Real".
    EXPECT_EQ(albumNames(library, self.firstAlbum, self.albumCount), (Names{"Real", "Self"}));
    EXPECT_EQ(library.trackTotal(), 2);
}

} // namespace
} // namespace tembrel::test
