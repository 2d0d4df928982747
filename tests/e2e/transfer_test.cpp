// Uploads and album pictures through tembrel-remote against the real server.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "ServerProcess.h"

namespace tembrel::test {
namespace {

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Transfers : public ServerTest {
protected:
    QString path(const std::filesystem::path& file) const {
        return QString::fromStdString(file.string());
    }

    TempDir local_;
};

TEST_F(Transfers, UploadedFileArrivesWholeAndIsQueued) {
    // Over 64 KiB, so it travels in several chunks.
    ToneSpec spec;
    spec.seconds = 6;
    spec.bitrateKbps = 256;
    spec.title = "Uploaded Tone";
    spec.artist = "Test Bench";
    spec.album = "Uploads";
    spec.tags = TagStyle::Id3v2AndV1;
    const auto file = local_.path() / "uploaded tone.mp3";
    ASSERT_TRUE(makeMp3(file, spec));
    ASSERT_GT(std::filesystem::file_size(file), 2u * 64 * 1024);

    const RemoteRun run = server_.remote({"upload", path(file)});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "Track [Uploaded Tone] Added to playlist")) << run.out;
    // Standard error is not a terminal here: no progress bar.
    EXPECT_EQ(run.err, "");

    const auto stored = server_.uploadDir() / "uploaded tone.mp3";
    ASSERT_TRUE(std::filesystem::exists(stored));
    EXPECT_TRUE(readFile(stored) == readFile(file)) << "the stored copy differs";

    const RemoteRun playlist = server_.remote({"playlist"});
    EXPECT_TRUE(contains(playlist.out, "1. Test Bench - Uploaded Tone")) << playlist.out;
}

TEST_F(Transfers, UploadOfAFileThatIsNotAudioIsReported) {
    const auto file = local_.path() / "notes.mp3";
    ASSERT_TRUE(writeFile(file, "these are not the bytes of a sound"));
    const RemoteRun run = server_.remote({"--json", "upload", path(file)});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_TRUE(contains(run.out, R"("ok":false)")) << run.out;
    EXPECT_TRUE(contains(run.out, "Cannot play track")) << run.out;

    const RemoteRun missing = server_.remote({"upload", path(local_.path() / "absent.mp3")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(contains(missing.err, "not a readable file")) << missing.err;
}

TEST_F(Transfers, PictureIsSavedByteForByte) {
    ASSERT_EQ(
        server_.remote({"queue", "Aurora Vale", "Northern Lights", "01 Polar Morning"}).exitCode,
        0);
    ASSERT_EQ(server_.remote({"queue", "--loose", "Aurora Vale", "Lighthouse.mp3"}).exitCode, 0);

    const auto saved = local_.path() / "cover.jpg";
    const RemoteRun run = server_.remote({"picture", "1", path(saved)});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const auto original = demoLibrary() / "Aurora Vale" / "Northern Lights" / "Folder.jpg";
    ASSERT_TRUE(std::filesystem::exists(saved));
    EXPECT_TRUE(readFile(saved) == readFile(original)) << "the saved picture differs";

    // The loose track's folder has no picture.
    const RemoteRun none = server_.remote({"picture", "2", path(local_.path() / "none.jpg")});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(contains(none.err, "has no picture")) << none.err;
    EXPECT_FALSE(std::filesystem::exists(local_.path() / "none.jpg"));
}

} // namespace
} // namespace tembrel::test
