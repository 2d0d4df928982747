// The tag reader on the real sound library, with MP3 and WMA files made by
// the ffmpeg and lame tools: which names and lengths come out.
#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "playback/CTagReader.h"
#include "playback/SystemSoundLibrary.h"
#include "support/AudioFixtures.h"
#include "track_names.h"

namespace tembrel::playback {
namespace {

namespace fs = std::filesystem;
using test::TagStyle;
using test::ToneSpec;

class TagReaderSystemTest : public ::testing::Test {
protected:
    TagReaderSystemTest() : folder_(dir_.path() / "Folder Artist" / "Folder Album") {
        fs::create_directories(folder_);
    }

    static ToneSpec tagged(TagStyle style, double seconds = 2.0) {
        ToneSpec tone;
        tone.seconds = seconds;
        tone.tags = style;
        tone.title = "Tag Title";
        tone.artist = "Tag Artist";
        tone.album = "Tag Album";
        return tone;
    }

    int read(const fs::path& file, const std::string& namePath = {}) {
        names_ = TrackNames{};
        return reader_.readTrackInfo(file.string(), namePath.empty() ? file.string() : namePath,
                                     names_.title, names_.album, names_.artist, names_.length);
    }

    void expectNames(const std::string& title, const std::string& artist,
                     const std::string& album) const {
        EXPECT_EQ(names_.title, title);
        EXPECT_EQ(names_.artist, artist);
        EXPECT_EQ(names_.album, album);
    }

    test::TempDir dir_;
    fs::path folder_;
    std::unique_ptr<SoundLibrary> library_ = createSystemSoundLibrary(AudioOutput::Null);
    CTagReader reader_{*library_};
    TrackNames names_;
};

TEST_F(TagReaderSystemTest, Id3v2FramesWinOverTheId3v1Tag) {
    // ID3v1 keeps only 30 characters of a title; the ID3v2 frame keeps it all.
    ToneSpec tone = tagged(TagStyle::Id3v2AndV1);
    tone.title = "A Title Longer Than Thirty Characters";
    const fs::path file = folder_ / "01 Both.mp3";
    ASSERT_TRUE(test::makeMp3(file, tone));
    ASSERT_EQ(read(file), 0);
    expectNames(tone.title, "Tag Artist", "Tag Album");
    EXPECT_EQ(names_.length, "0:02");
}

TEST_F(TagReaderSystemTest, Id3v1OnlyFileGivesItsFields) {
    const fs::path file = folder_ / "02 V1.mp3";
    ASSERT_TRUE(test::makeMp3(file, tagged(TagStyle::Id3v1Only)));
    ASSERT_EQ(read(file), 0);
    expectNames("Tag Title", "Tag Artist", "Tag Album");
    EXPECT_EQ(names_.length, "0:02");
}

TEST_F(TagReaderSystemTest, UnicodeTitleFrameIsRead) {
    const fs::path file = folder_ / "03 Unicode.mp3";
    ASSERT_TRUE(test::makeMp3(file, tagged(TagStyle::Id3v2Utf16Title)));
    ASSERT_EQ(read(file), 0);
    expectNames(test::mp3Title(tagged(TagStyle::Id3v2Utf16Title)), "Tag Artist", "Tag Album");
}

TEST_F(TagReaderSystemTest, WmaGivesTitleAuthorAndAlbumAttribute) {
    const fs::path file = folder_ / "04 Windows.wma";
    ASSERT_TRUE(test::makeWma(file, tagged(TagStyle::None, 65.0)));
    ASSERT_EQ(read(file), 0);
    expectNames("Tag Title", "Tag Artist", "Tag Album");
    EXPECT_EQ(names_.length, "1:05");
}

TEST_F(TagReaderSystemTest, UntaggedFileTakesFolderNames) {
    const fs::path file = folder_ / "05 Plain.mp3";
    ASSERT_TRUE(test::makeMp3(file, tagged(TagStyle::None)));
    ASSERT_EQ(read(file), 0);
    expectNames("05 Plain", "Folder Artist", "Folder Album");
    EXPECT_EQ(names_.length, "0:02");

    // An upload: the stored copy is opened, the client's path names it.
    ASSERT_EQ(read(file, "C:\\Users\\me\\Music\\Client Artist\\Client Album\\Sent.mp3"), 0);
    expectNames("Sent", "Client Artist", "Client Album");
}

TEST_F(TagReaderSystemTest, UnreadableFilesFailAndKeepTheLength) {
    const fs::path corrupt = folder_ / "06 Corrupt.mp3";
    ASSERT_TRUE(test::writeFile(corrupt, std::string(4096, '\x5a')));
    EXPECT_EQ(read(corrupt), -1);
    EXPECT_EQ(names_.title, "06 Corrupt");
    EXPECT_EQ(names_.length, "(length)");
    EXPECT_EQ(read(folder_ / "07 Missing.mp3"), -1);
    EXPECT_EQ(names_.length, "(length)");
}

} // namespace
} // namespace tembrel::playback
