// Every tag situation real tools leave in files (each ID3v2 version and text
// encoding, extended headers, unsynchronisation, ID3v1 in UTF-8 and in
// Windows-1252, APEv2, ASF, Vorbis comments, FLAC, MP4, RIFF INFO, a long
// text), read through the real sound library by the tag reader.
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "playback/CTagReader.h"
#include "playback/SystemSoundLibrary.h"
#include "playback/TextEncoding.h"
#include "support/AudioFixtures.h"
#include "track_names.h"

namespace tembrel::playback {
namespace {

namespace fs = std::filesystem;

struct Situation {
    std::string name, file, title, artist, album;
};

// The files and what each must show, as the fixture script wrote them.
class TagSituations : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<test::TempDir>();
        const std::string command = "/usr/bin/python3 " TEMBREL_SOURCE_DIR
                                    "/tests/playback/make_tag_files.py '" +
                                    dir_->path().string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        std::ifstream manifest(dir_->path() / "manifest.tsv");
        std::string line;
        while (std::getline(manifest, line)) {
            std::istringstream fields(line);
            Situation row;
            std::getline(fields, row.name, '\t');
            std::getline(fields, row.file, '\t');
            std::getline(fields, row.title, '\t');
            std::getline(fields, row.artist, '\t');
            std::getline(fields, row.album, '\t');
            situations_.push_back(row);
        }
    }
    static void TearDownTestSuite() {
        situations_.clear();
        dir_.reset();
    }

    static inline std::unique_ptr<test::TempDir> dir_;
    static inline std::vector<Situation> situations_;
    std::unique_ptr<SoundLibrary> library_ = createSystemSoundLibrary(AudioOutput::Null);
    CTagReader reader_{*library_};
};

TEST_F(TagSituations, EveryFileShowsTheTextsItsTagsHold) {
    ASSERT_GE(situations_.size(), 25U);
    for (const Situation& situation : situations_) {
        SCOPED_TRACE(situation.name);
        const std::string file = (dir_->path() / situation.file).string();
        TrackNames names;
        ASSERT_EQ(
            reader_.readTrackInfo(file, file, names.title, names.album, names.artist, names.length),
            0);
        EXPECT_EQ(names.title, situation.title);
        EXPECT_EQ(names.artist, situation.artist);
        EXPECT_EQ(names.album, situation.album);
        EXPECT_TRUE(isValidUtf8(names.title) && isValidUtf8(names.artist) &&
                    isValidUtf8(names.album));
        EXPECT_EQ(names.length, "0:01");
    }
}

TEST_F(TagSituations, UploadedFilesReadTheirTagsAndNameFallbacksFromTheClientPath) {
    // The upload keeps the tags mutagen wrote; the client path only fills in.
    const std::string upload = (dir_->path() / "upload").string();
    TrackNames names;
    ASSERT_EQ(reader_.readTrackInfo(upload, "C:\\Music\\Client Artist\\Client Album\\song.mp3",
                                    names.title, names.album, names.artist, names.length),
              0);
    EXPECT_EQ(names.title, "Uploaded Tïtle");
    EXPECT_EQ(names.artist, "Uploaded Artist");

    // An untagged upload takes its names from the client's path, split on '\'.
    const std::string plain = (dir_->path() / "plain.mp3").string();
    ASSERT_EQ(reader_.readTrackInfo(plain, "C:\\Music\\Client Artist\\Client Album\\song.mp3",
                                    names.title, names.album, names.artist, names.length),
              0);
    EXPECT_EQ(names.title, "song");
    EXPECT_EQ(names.album, "Client Album");
    EXPECT_EQ(names.artist, "Client Artist");
}

TEST_F(TagSituations, BackslashesInLibraryNamesAreNotSeparators) {
    const fs::path album = dir_->path() / "AC\\DC" / "Live \\ Loud";
    fs::create_directories(album);
    const fs::path file = album / "01 Back\\Slash.mp3";
    fs::copy_file(dir_->path() / "plain.mp3", file);
    TrackNames names;
    ASSERT_EQ(reader_.readTrackInfo(file.string(), file.string(), names.title, names.album,
                                    names.artist, names.length),
              0);
    EXPECT_EQ(names.title, "01 Back\\Slash");
    EXPECT_EQ(names.album, "Live \\ Loud");
    EXPECT_EQ(names.artist, "AC\\DC");
}

} // namespace
} // namespace tembrel::playback
