// Uploads and album pictures through tembrel-remote against the real server.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "ServerProcess.h"
#include "support/TestClient.h"

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
    ToneSpec tone;
    tone.seconds = 6;
    tone.bitrateKbps = 256;
    tone.title = "Uploaded Tone";
    tone.artist = "Test Bench";
    tone.album = "Uploads";
    tone.tags = TagStyle::Id3v2AndV1;
    const auto file = local_.path() / "uploaded tone.mp3";
    ASSERT_TRUE(makeMp3(file, tone));
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

TEST_F(Transfers, AnUploadRefusedMidwayReportsTheServersReason) {
    ServerProcess small({QStringLiteral("--upload-quota"), QStringLiteral("64K")});
    ASSERT_TRUE(small.ready());
    ToneSpec tone;
    tone.seconds = 6;
    tone.bitrateKbps = 256;
    const auto file = local_.path() / "too big.mp3";
    ASSERT_TRUE(makeMp3(file, tone));
    ASSERT_GT(std::filesystem::file_size(file), 2u * 64 * 1024);

    const RemoteRun run = small.remote({"upload", path(file)});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_TRUE(contains(run.err, "too big.mp3: Cannot store upload: the server's upload folder "
                                  "is full"))
        << run.err;
    EXPECT_TRUE(std::filesystem::is_empty(small.uploadDir()));
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

// Every regular file below `root`, relative to it.
std::vector<std::string> filesUnder(const std::filesystem::path& root) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            files.push_back(std::filesystem::relative(entry.path(), root).generic_string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

net::CNDKMessage uploadCommand(std::string_view command, std::string_view serverPath) {
    net::CNDKMessage message = makeCommand(command);
    message.putFourByteB(2, 4);
    message.putText(3, serverPath);
    message.putFourByteB(5, 7);
    if (command == "SendFile") {
        const std::string_view data = "data";
        message.putBytes(1, std::span(reinterpret_cast<const std::uint8_t*>(data.data()), 4));
        message.putText(4, "");
    }
    return message;
}

// A client naming its own server-side paths, as a hostile one would: the
// server keeps every write inside its upload folder.
TEST_F(Transfers, CraftedServerPathsStayInsideTheUploadFolder) {
    const auto root = server_.uploadDir().parent_path();
    const auto canary = root / "canary.mp3";
    ASSERT_TRUE(writeFile(canary, "keep"));
    const auto before = filesUnder(root);

    TestClient client;
    client.setAutoAnswerPings(true);
    ASSERT_TRUE(client.connectTo(static_cast<quint16>(server_.port())));
    net::CNDKMessage join(0);
    join.appendText("intruder");
    ASSERT_TRUE(client.send(join));
    // Each path and the name its data lands under inside the folder ("" for
    // a refused name).
    const std::vector<std::pair<std::string, std::string>> paths{
        {"../escape.mp3", "escape.mp3"},
        {"..\\..\\escape2.mp3", "escape2.mp3"},
        {canary.string(), "canary.mp3"},
        {"/tmp/../up.mp3", "up.mp3"},
        {"..", ""},
        {"", ""}};
    for (const auto& [serverPath, landed] : paths) {
        for (const char* command : {"StartFile", "SendFile"}) {
            ASSERT_TRUE(client.send(uploadCommand(command, serverPath)));
            ASSERT_TRUE(client.receiveUntil([](const net::CNDKMessage& m) {
                return textAt(m, 0) == "^GetFileChunk";
            })) << command
                << " " << serverPath;
        }
        if (!landed.empty()) {
            EXPECT_EQ(readFile(server_.uploadDir() / (landed + ".part")), "data") << serverPath;
        }
    }
    client.close();

    EXPECT_EQ(readFile(canary), "keep");
    // The unfinished uploads went with the user that left.
    ASSERT_TRUE(waitUntil([&] { return filesUnder(root) == before; }));
}

} // namespace
} // namespace tembrel::test
