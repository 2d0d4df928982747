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
                                        three + "\\\\*.*", "alpha 2", "OK", "Get Albums", "OK"}));
    EXPECT_EQ(recorder.library.artist(1).name, "alpha");
    EXPECT_EQ(recorder.library.artist(2).name, "Beta");
}

TEST(LibraryLog, TrailingBackslashIsDroppedFromTheLocationAndPattern) {
    LibraryTree tree;
    tree.file("music/Artist/a.mp3");
    const std::string music = tree.path("music");

    RecordingLibrary withBackslash;
    withBackslash.library.scanLocation(music + "\\");
    EXPECT_EQ(withBackslash.logLines, (Lines{music + "\\", music + "\\*.*", "Artist 1"}));

    RecordingLibrary without;
    without.library.scanLocation(music);
    EXPECT_EQ(without.logLines, (Lines{music, music + "\\\\*.*", "Artist 1"}));

    // Both name the same folder, which is really listed.
    EXPECT_EQ(withBackslash.library.artist(1).location, music);
    EXPECT_EQ(without.library.artist(1).location, music);
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

TEST(LibraryLog, LocationThatCannotBeListedWritesOnlyItsTwoLines) {
    LibraryTree tree;
    tree.file("plain-file");
    const std::string file = tree.path("plain-file");
    const std::string missing = tree.path("missing");

    RecordingLibrary recorder;
    recorder.library.buildLibrary({file, missing, "", "", ""});

    EXPECT_EQ(recorder.logLines, (Lines{"Get Artists", file, file + "\\\\*.*", missing,
                                        missing + "\\\\*.*", "OK", "Get Albums", "OK"}));
    EXPECT_EQ(recorder.library.nextArtistSlot(), 1);
    EXPECT_EQ(recorder.library.artistTotal(), 0);
    EXPECT_EQ(recorder.library.nextAlbumSlot(), 0);
    EXPECT_EQ(recorder.library.nextTrackSlot(), 0);
}

} // namespace
} // namespace tembrel::test
