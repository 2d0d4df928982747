// The tag reader on the scripted library: names from folder layout, which tag
// fields win, the field size limit and the length text.
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "playback/CTagReader.h"
#include "support/FakeSoundLibrary.h"
#include "track_names.h"

namespace tembrel::playback {
namespace {

using test::FakeSoundLibrary;

std::string frame(std::string_view text, char encoding = 0) {
    return std::string(1, encoding) + std::string(text);
}

class TagReaderTest : public ::testing::Test {
protected:
    int read(const std::string& openPath, const std::string& namePath) {
        return reader_.readTrackInfo(openPath, namePath, names_.title, names_.album, names_.artist,
                                     names_.length);
    }
    // Reads a registered file whose name path carries no names.
    void readTagged(std::vector<TagField> tags) {
        library_.addFile("/f.mp3", 1000, std::move(tags));
        names_ = TrackNames{};
        ASSERT_EQ(read("/f.mp3", "/f.mp3"), 0);
    }

    FakeSoundLibrary library_;
    CTagReader reader_{library_};
    TrackNames names_;
};

TEST_F(TagReaderTest, UntaggedFileTakesItsNamesFromTheFolders) {
    // A client's name path: both separators.
    library_.addFile("/uploads/01 Song.mp3", 1000);
    for (const std::string path :
         {"C:\\Music\\Artist\\Album\\01 Song.mp3", "/home/u/Music/Artist/Album/01 Song.mp3",
          "C:\\Music/Artist\\Album/01 Song.mp3"}) {
        names_ = TrackNames{};
        ASSERT_EQ(read("/uploads/01 Song.mp3", path), 0) << path;
        EXPECT_EQ(names_.title, "01 Song") << path;
        EXPECT_EQ(names_.album, "Album") << path;
        EXPECT_EQ(names_.artist, "Artist") << path;
    }
    // The file's own path: a backslash is part of a name.
    const std::string local = "/music/AC\\DC/Live\\Loud/01 Song.mp3";
    library_.addFile(local, 1000);
    names_ = TrackNames{};
    ASSERT_EQ(read(local, local), 0);
    EXPECT_EQ(names_.title, "01 Song");
    EXPECT_EQ(names_.album, "Live\\Loud");
    EXPECT_EQ(names_.artist, "AC\\DC");
}

TEST_F(TagReaderTest, NamePathMayDifferFromTheOpenedFile) {
    library_.addFile("/uploads/x.bin", 65000, {{kTagFieldId3v1, "ALBUM", "Tagged"}});
    ASSERT_EQ(read("/uploads/x.bin", "D:\\Rips\\Band\\Record\\Track 3.mp3"), 0);
    EXPECT_EQ(names_.title, "Track 3");
    EXPECT_EQ(names_.album, "Tagged");
    EXPECT_EQ(names_.artist, "Band");
    EXPECT_EQ(names_.length, "1:05");
}

TEST_F(TagReaderTest, ShortPathsSetOnlyTheInnermostNames) {
    library_.addFile("/f.mp3", 1000);
    // Position 0 is never looked at: a leading separator separates nothing.
    const struct {
        std::string path, title, album, artist;
    } cases[] = {
        {"Album\\Song.mp3", "Song", "(album)", "(artist)"},
        {"/Album/Song.mp3", "Song", "(album)", "(artist)"},
        {"\\Song.mp3", "(title)", "(album)", "(artist)"},
        {"Song.mp3", "(title)", "(album)", "(artist)"},
        {"x/Artist/Album/Song.mp3", "Song", "Album", "Artist"},
        {"C:\\Music\\Artist\\Album\\Song", "(title)", "(album)", "(artist)"},
        // The last dot anywhere ends the "file name".
        {"C:\\Mu.sic\\Artist\\Song", "Mu", "(album)", "(artist)"},
        {"C:\\A\\B\\.mp3", "", "B", "A"},
        {"", "(title)", "(album)", "(artist)"},
        {".", "(title)", "(album)", "(artist)"},
    };
    for (const auto& c : cases) {
        names_ = TrackNames{};
        ASSERT_EQ(read("/f.mp3", c.path), 0) << c.path;
        EXPECT_EQ(names_.title, c.title) << c.path;
        EXPECT_EQ(names_.album, c.album) << c.path;
        EXPECT_EQ(names_.artist, c.artist) << c.path;
    }
}

TEST_F(TagReaderTest, FileThatCannotBeOpenedFailsWithFolderNamesOnly) {
    library_.addFile("/drm.wma", 1000, {{kTagFieldId3v1, "TITLE", "Hidden"}}).openError =
        kErrMediaPlayer;
    EXPECT_EQ(read("/drm.wma", "C:\\M\\Artist\\Album\\Locked.wma"), -1);
    EXPECT_EQ(names_.title, "Locked");
    EXPECT_EQ(names_.length, "(length)");
    EXPECT_EQ(read("/missing.mp3", "/missing.mp3"), -1);
    EXPECT_EQ(library_.openStreamCount(), 0);
}

TEST_F(TagReaderTest, OpensForInformationOnlyAndClosesAgain) {
    library_.addFile("/f.mp3", 1000);
    ASSERT_EQ(read("/f.mp3", "/f.mp3"), 0);
    EXPECT_THAT(library_.calls(), ::testing::ElementsAre("open /f.mp3 info", "closeStream 1"));
    EXPECT_EQ(library_.openStreamCount(), 0);
}

TEST_F(TagReaderTest, FixedFieldsFillNamesWithAuthorAndAlbumPrecedence) {
    readTagged({{kTagFieldId3v1, "TITLE", "T1"},
                {kTagFieldAsf, "WM/AlbumTitle", "WM album"},
                {kTagFieldId3v1, "ALBUM", "V1 album"},
                {kTagFieldId3v1, "AUTHOR", "Author"},
                {kTagFieldId3v1, "ARTIST", "Artist"}});
    EXPECT_EQ(names_.title, "T1");
    EXPECT_EQ(names_.album, "V1 album");
    EXPECT_EQ(names_.artist, "Author");

    readTagged({{kTagFieldAsf, "WM/AlbumTitle", "WM album"}, {kTagFieldId3v1, "ARTIST", "A"}});
    EXPECT_EQ(names_.album, "WM album");
    EXPECT_EQ(names_.artist, "A");
    EXPECT_EQ(names_.title, "(title)");

    // Fields are looked up by their type as well as their name.
    readTagged({{kTagFieldAsf, "TITLE", "wrong type"}, {kTagFieldId3v1, "WM/AlbumTitle", "no"}});
    EXPECT_EQ(names_.title, "(title)");
    EXPECT_EQ(names_.album, "(album)");
}

TEST_F(TagReaderTest, TextFramesInTheSingleByteEncodingOverrideEverything) {
    readTagged({{kTagFieldId3v2, "TIT2", frame("Frame title")},
                {kTagFieldId3v1, "TITLE", "V1 title"},
                {kTagFieldId3v1, "AUTHOR", "V1 author"},
                {kTagFieldId3v2, "TPE1", frame("Frame artist")},
                {kTagFieldId3v2, "TALB", frame("First album")},
                {kTagFieldId3v2, "TALBX", frame("Second album")}});
    EXPECT_EQ(names_.title, "Frame title");
    EXPECT_EQ(names_.artist, "Frame artist");
    EXPECT_EQ(names_.album, "Second album");
}

TEST_F(TagReaderTest, TextFramesCountInEveryEncodingOtherFramesChangeNothing) {
    readTagged({{kTagFieldId3v1, "TITLE", "V1 title"},
                {kTagFieldId3v2, "TIT2", frame("Unicode title", 1)},
                {kTagFieldId3v2, "TIT2", frame("UTF-8 title", 3)},
                {kTagFieldId3v2, "COMM", frame("comment")},
                {kTagFieldId3v2, "TPE2", frame("band")},
                {kTagFieldId3v2, "TIT", frame("short id")},
                {kTagFieldId3v2, "TALB", ""},
                {kTagFieldId3v1, "TPE1", frame("v1 type")},
                {kTagFieldAsf, "TALB", frame("asf type")}});
    EXPECT_EQ(names_.title, "UTF-8 title");
    EXPECT_EQ(names_.artist, "(artist)");
    EXPECT_EQ(names_.album, "(album)");
}

TEST_F(TagReaderTest, FramesAreSkippedWhenTheirCountIsUnknown) {
    library_
        .addFile("/f.mp3", 1000,
                 {{kTagFieldId3v1, "TITLE", "V1"}, {kTagFieldId3v2, "TIT2", frame("V2")}})
        .tagCountUnavailable = true;
    ASSERT_EQ(read("/f.mp3", "/f.mp3"), 0);
    EXPECT_EQ(names_.title, "V1");
}

TEST_F(TagReaderTest, TextsEndAtTheFirstZeroAndAtTheFieldLimit) {
    const std::string longText(3000, 'x');
    readTagged({{kTagFieldId3v1, "TITLE", longText},
                {kTagFieldId3v1, "ALBUM", std::string("Album\0junk", 10)},
                {kTagFieldId3v2, "TPE1", frame(longText)}});
    EXPECT_EQ(names_.title, std::string(CTagReader::kMaxFieldBytes, 'x'));
    EXPECT_EQ(names_.album, "Album");
    EXPECT_EQ(names_.artist.size(), CTagReader::kMaxFieldBytes);

    readTagged({{kTagFieldId3v2, "TIT2", frame(std::string("Name\0\0", 6))},
                {kTagFieldId3v2, "TALB", frame(std::string("\0rest", 5))}});
    EXPECT_EQ(names_.title, "Name");
    EXPECT_EQ(names_.album, "");
}

TEST_F(TagReaderTest, LengthIsMinutesAndTwoDigitSeconds) {
    const struct {
        int ms;
        const char* text;
    } cases[] = {{185000, "3:05"}, {59999, "0:59"},    {3600000, "60:00"}, {600000, "10:00"},
                 {0, "0:00"},      {9999, "0:09"},     {10000, "0:10"},    {-5000, "0:00"},
                 {61000, "1:01"},  {7199999, "119:59"}};
    for (const auto& c : cases) {
        EXPECT_EQ(CTagReader::formatMinutesSeconds(c.ms), c.text) << c.ms;
    }
    library_.addFile("/f.mp3", 185000);
    ASSERT_EQ(read("/f.mp3", "/f.mp3"), 0);
    EXPECT_EQ(names_.length, "3:05");
}

} // namespace
} // namespace tembrel::playback
