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
#include "protocol/MessageIds.h"
#include "support/TestClient.h"

namespace tembrel::test {
namespace {

namespace fs = std::filesystem;
using net::CNDKMessage;

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

TEST(FileStall, AGigabyteSearchForAudioStallsNobodyElse) {
    const fs::path music =
        fs::temp_directory_path() / ("tembrel-stall-" + std::to_string(::getpid()));
    fs::create_directories(music / "Zeros" / "Nothing");
    std::ofstream(music / "Zeros" / "Nothing" / "01 Sparse.mp3").close();
    fs::resize_file(music / "Zeros" / "Nothing" / "01 Sparse.mp3", kSparseBytes);
    {
        ServerProcess server(
            {QStringLiteral("--location"), QString::fromStdString(music.string())});
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
    fs::remove_all(music);
}

} // namespace
} // namespace tembrel::test
