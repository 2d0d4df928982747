// A file whose readers search gigabytes for audio (a sparse file of zeros
// named .mp3) queued from the library: it is read on a file worker, so the
// server keeps serving everyone else at once, and the worker gives up on it
// in bounded time.
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "ServerProcess.h"
#include "WebClient.h"
#include "protocol/MessageIds.h"
#include "support/TestClient.h"

namespace tembrel::test {
namespace {

namespace fs = std::filesystem;
using net::CNDKMessage;

// The server is built like this test: with the address sanitizer or without.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kServerUnderAddressSanitizer = true;
#else
constexpr bool kServerUnderAddressSanitizer = false;
#endif

constexpr std::uintmax_t kSparseBytes = std::uintmax_t{2} << 30;

bool join(TestClient& client, int port, std::string_view name) {
    CNDKMessage message(protocol::kIdJoin);
    message.appendText(name);
    return client.connectTo(static_cast<quint16>(port)) && client.send(message);
}

// The number "GetAlbums" takes for `artist`, from the join's artist list.
int artistNumber(TestClient& client, std::string_view artist) {
    int listed = 0;
    int number = -1;
    const auto replies = client.receiveUntil(
        [](const CNDKMessage& m) { return textAt(m, 0) == "^NumArtists"; }, 10000);
    for (const CNDKMessage& reply : replies.value_or(std::vector<CNDKMessage>{})) {
        if (textAt(reply, 0) == "^AddArtist" && textAt(reply, 1) == artist) {
            number = listed + 2; // the first listed artist is 2
        }
        listed += textAt(reply, 0) == "^AddArtist" ? 1 : 0;
    }
    return number;
}

// The process's resident memory, from /proc.
std::size_t residentBytes(qint64 pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stoull(line.substr(6)) * 1024;
        }
    }
    return 0;
}

// A library whose one artist "Zeros" holds a 2 GiB sparse ".mp3".
class FileStall : public ::testing::Test {
protected:
    FileStall() {
        fs::create_directories(music_ / "Zeros" / "Nothing");
        std::ofstream(music_ / "Zeros" / "Nothing" / "01 Sparse.mp3").close();
        fs::resize_file(music_ / "Zeros" / "Nothing" / "01 Sparse.mp3", kSparseBytes);
    }
    ~FileStall() override { fs::remove_all(music_); }

    [[nodiscard]] QStringList library() const {
        return {QStringLiteral("--location"), QString::fromStdString(music_.string())};
    }

private:
    fs::path music_ = fs::temp_directory_path() / ("tembrel-stall-" + std::to_string(::getpid()));
};

TEST_F(FileStall, AGigabyteSearchForAudioStallsNobodyElse) {
    {
        ServerProcess server(library());
        ASSERT_TRUE(server.ready());
        TestClient attacker;
        TestClient monitor;
        ASSERT_TRUE(join(attacker, server.port(), "attacker"));
        const int zeros = artistNumber(attacker, "Zeros");
        ASSERT_GE(zeros, 2);
        ASSERT_TRUE(join(monitor, server.port(), "monitor"));
        ASSERT_TRUE(attacker.send(makeCommand("GetAlbums", std::to_string(zeros))));
        ASSERT_TRUE(attacker.send(makeCommand("GetAlbumTracks", "2")));
        ASSERT_TRUE(attacker.send(makeCommand("PlayAlbumTrack", "2")));

        // Searching the zeros took minutes on the main thread; now every
        // echo of the monitor comes straight back while it goes on.
        qint64 worstMs = 0;
        for (int i = 0; i < 20; ++i) {
            CNDKMessage echo(net::kNdkIdEcho);
            echo.appendText("probe " + std::to_string(i));
            QElapsedTimer timer;
            timer.start();
            ASSERT_TRUE(monitor.send(echo));
            ASSERT_TRUE(monitor.receiveUntil(
                [&](const CNDKMessage& m) { return m.id() == net::kNdkIdEcho; }, 20000));
            worstMs = std::max(worstMs, timer.elapsed());
            pumpEvents(50);
        }
        EXPECT_LT(worstMs, 1000);
        std::cout << "monitor's worst echo round trip while the file was read: " << worstMs
                  << " ms\n";

        // The reader gives up on the file: it is refused, and the server still
        // stops cleanly.
        const auto answer = attacker.receiveUntil(
            [](const CNDKMessage& m) { return textAt(m, 0) == "^Error"; }, 60000);
        ASSERT_TRUE(answer.has_value());
        EXPECT_EQ(textAt(answer->back(), 1), "Cannot play track: 01 Sparse - File may use DRM");
        EXPECT_TRUE(server.stop());
    }
}

TEST_F(FileStall, AWebUserSendingOnWhileItsFileIsReadIsCutOff) {
    const int webPort = freePort();
    ServerProcess server(library() +
                         QStringList{QStringLiteral("--web-port"), QString::number(webPort)});
    ASSERT_TRUE(server.ready());
    WebClient web(webPort);
    ASSERT_TRUE(web.open());
    ASSERT_TRUE(web.join("flooder"));
    TestClient monitor;
    ASSERT_TRUE(join(monitor, server.port(), "monitor"));
    const int zeros = artistNumber(monitor, "Zeros");
    ASSERT_GE(zeros, 2);
    web.send(makeCommand("GetAlbums", std::to_string(zeros)));
    web.send(makeCommand("GetAlbumTracks", "2"));
    web.send(makeCommand("PlayAlbumTrack", "2"));
    // While the file is read the user's messages wait unread. 64 MiB more
    // of them (128 MiB as the server holds text) pass what it keeps for one
    // user: it stops keeping them, so its memory hardly grows.
    const std::size_t before = residentBytes(server.pid());
    const QString frame(512 * 1024, QLatin1Char('x'));
    for (int i = 0; i < 128; ++i) {
        web.sendText(frame);
    }
    pumpEvents(3000); // the frames go out
    CNDKMessage echo(net::kNdkIdEcho);
    echo.appendText("still served");
    ASSERT_TRUE(monitor.send(echo));
    EXPECT_TRUE(
        monitor.receiveUntil([](const CNDKMessage& m) { return m.id() == net::kNdkIdEcho; }, 5000));
    const std::size_t after = residentBytes(server.pid());
    if (!kServerUnderAddressSanitizer) {
        // The sanitizer holds freed memory back for a while, so its server's
        // resident memory says nothing of what it keeps.
        EXPECT_LT(after, before + (std::size_t{48} << 20)) << before << " -> " << after;
    }
    // Once the read is over, the flooder is dropped.
    QElapsedTimer sinceFlood;
    sinceFlood.start();
    EXPECT_TRUE(web.waitForClose(60000));
    EXPECT_GT(sinceFlood.elapsed(), 5000) << "dropped before its file was read";
}

} // namespace
} // namespace tembrel::test
