// The scan's log lines and the Location text rules: the logged search pattern
// for paths with and without a trailing backslash, and skipped Locations.
#include <gtest/gtest.h>

#include "LibraryTree.h"

namespace tembrel::test {
namespace {

using Lines = std::vector<std::string>;

TEST(LibraryLog, BuildLogsEachStepAndEachArtistWithItsSlot) {
    LibraryTree tree;
    tree.folder("one/Beta");
    tree.folder("three/alpha");
    const std::string one = tree.path("one");
    const std::string three = tree.path("three");

    RecordingLibrary recorder;
    recorder.library.buildLibrary({one, "", three, "", ""});

    // The empty Location2 writes nothing; artists are logged with the slot
    // they were found in, before the sort.
    EXPECT_EQ(recorder.logLines, (Lines{"Get Artists", one, one + "\\\\*.*", "Beta 1", three,
                                        three + "\\\\*.*", "alpha 2", "OK", "Get Albums", "OK",
                                        "Location " + one + ": 1 artist, 0 albums, 0 tracks",
                                        "Location " + three + ": 1 artist, 0 albums, 0 tracks"}));
    EXPECT_EQ(recorder.library.artist(1).name, "alpha");
    EXPECT_EQ(recorder.library.artist(2).name, "Beta");
}

TEST(LibraryLog, BackslashIsPartOfALocationName) {
    LibraryTree tree;
    tree.file("music/Artist/a.mp3");
    tree.file("mu\\sic\\/Band/Album/b.mp3");
    const std::string music = tree.path("music");
    const std::string odd = tree.path("mu\\sic\\");

    RecordingLibrary recorder;
    recorder.library.buildLibrary({music + "\\", odd, "", "", ""});

    // "music\" names another folder, which does not exist; the folder whose
    // name holds backslashes is listed like any other.
    EXPECT_EQ(recorder.library.artistTotal(), 1);
    EXPECT_EQ(recorder.library.artist(1).location, odd);
    EXPECT_EQ(recorder.library.trackTotal(), 1);
    const auto last = recorder.logLines.end();
    EXPECT_EQ(*(last - 2), "Location " + music + "\\: nothing found (missing)");
    EXPECT_EQ(*(last - 1), "Location " + odd + ": 1 artist, 1 album, 1 track");
}

TEST(LibraryLog, TrailingSlashIsAnOrdinaryCharacterForThePattern) {
    LibraryTree tree;
    tree.file("music/Artist/a.mp3");
    const std::string music = tree.path("music");

    RecordingLibrary recorder;
    recorder.library.buildLibrary({music + "/", "", "", "", ""});

    EXPECT_EQ(recorder.logLines[1], music + "/");
    EXPECT_EQ(recorder.logLines[2], music + "/\\\\*.*");
    // The location text has no trailing slash, so joined paths stay clean.
    EXPECT_EQ(recorder.library.artist(1).location, music);
    EXPECT_EQ(recorder.library.trackTotal(), 1);
}

TEST(LibraryLog, LocationThatGivesNothingSaysWhy) {
    LibraryTree tree;
    tree.file("plain-file");
    tree.file("loose-only/song.mp3");
    const std::string file = tree.path("plain-file");
    const std::string missing = tree.path("missing");
    const std::string looseOnly = tree.path("loose-only");

    RecordingLibrary recorder;
    recorder.library.buildLibrary({file, missing, looseOnly, "", ""});

    EXPECT_EQ(recorder.logLines,
              (Lines{"Get Artists", file, file + "\\\\*.*", missing, missing + "\\\\*.*", looseOnly,
                     looseOnly + "\\\\*.*", "OK", "Get Albums", "OK",
                     "Location " + file + ": nothing found (not a folder)",
                     "Location " + missing + ": nothing found (missing)",
                     "Location " + looseOnly + ": nothing found (empty)"}));
    EXPECT_EQ(recorder.library.nextArtistSlot(), 1);
    EXPECT_EQ(recorder.library.artistTotal(), 0);
    EXPECT_EQ(recorder.library.nextAlbumSlot(), 0);
    EXPECT_EQ(recorder.library.nextTrackSlot(), 0);
}

} // namespace
} // namespace tembrel::test
