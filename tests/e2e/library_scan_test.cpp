// The library against the real server and client: a 50,000-track library is
// listed whole, and a rescan (SIGHUP) runs while a client browses and a
// track plays, swapping the new library in only when it is complete.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <chrono>
#include <filesystem>
#include <string>

#include "ServerProcess.h"
#include "support/TestClient.h"

namespace tembrel::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kArtists = 3000;
constexpr int kArtistsWithTwoAlbums = 2000;
constexpr int kTracksPerAlbum = 10;
constexpr int kDemoArtists = 3;
constexpr auto kScanWait = std::chrono::seconds(60);

QJsonObject json(const RemoteRun& run) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
}

void emptyFile(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << file;
    ::close(fd);
}

// Waits until the server's log holds `line` `times` times.
bool logShows(ServerProcess& server, const std::string& line, int times = 1) {
    const auto deadline = Clock::now() + kScanWait;
    while (Clock::now() < deadline) {
        const std::string log = server.log();
        int found = 0;
        for (std::size_t at = log.find(line); at != std::string::npos;
             at = log.find(line, at + 1)) {
            ++found;
        }
        if (found >= times) {
            return true;
        }
        QThread::msleep(50);
    }
    return false;
}

TEST(LibraryScanE2e, FiftyThousandTracksAreListedWhole) {
    TempDir dir;
    const fs::path music = dir.path() / "big";
    for (int artist = 0; artist < kArtists; ++artist) {
        const int albums = artist < kArtistsWithTwoAlbums ? 2 : 1;
        for (int album = 0; album < albums; ++album) {
            const fs::path folder = music / ("Artist " + std::to_string(10000 + artist)) /
                                    ("Album " + std::to_string(album));
            fs::create_directories(folder);
            for (int track = 0; track < kTracksPerAlbum; ++track) {
                emptyFile(folder / ("t" + std::to_string(track) + ".mp3"));
            }
        }
    }
    ServerProcess server({"--location", QString::fromStdString(music.string())});
    ASSERT_TRUE(server.ready()) << server.log();
    ASSERT_TRUE(logShows(server, "Location " + music.string() +
                                     ": 3000 artists, 5000 albums, "
                                     "50000 tracks"))
        << server.log();

    const RemoteRun artists = server.remote({"--json", "artists"}, 60000);
    ASSERT_EQ(artists.exitCode, 0) << artists.err;
    const QJsonArray list = json(artists)["artists"].toArray();
    ASSERT_EQ(list.size(), kArtists + kDemoArtists);
    EXPECT_EQ(list[0].toObject()["name"].toString(), "Artist 10000");
    EXPECT_EQ(list[kArtists - 1].toObject()["name"].toString(), "Artist 12999");

    // The last artists' albums and tracks are there too, nothing "(none)".
    const QJsonObject albums = json(server.remote({"--json", "albums", "Artist 12999"}));
    ASSERT_EQ(albums["albums"].toArray().size(), 1) << server.log();
    const QJsonObject tracks = json(server.remote({"--json", "tracks", "Artist 11999", "Album 1"}));
    const QJsonArray files = tracks["tracks"].toArray();
    ASSERT_EQ(files.size(), kTracksPerAlbum);
    EXPECT_EQ(files[0].toObject()["name"].toString(), "t0.mp3");
    EXPECT_EQ(files[9].toObject()["name"].toString(), "t9.mp3");

    // The totals a joining client gets count everything.
    TestClient client;
    ASSERT_TRUE(client.connectTo(static_cast<quint16>(server.port())));
    net::CNDKMessage join(0);
    join.appendText("counter");
    ASSERT_TRUE(client.send(join));
    const auto replies = client.receiveUntil(
        [](const net::CNDKMessage& m) { return textAt(m, 0) == "^TotalTracks"; }, 30000);
    ASSERT_TRUE(replies);
    int demoTracks = 0;
    for (const auto& entry : fs::recursive_directory_iterator(demoLibrary())) {
        const std::string extension = entry.path().extension().string();
        demoTracks += extension == ".mp3" || extension == ".wma" ? 1 : 0;
    }
    EXPECT_EQ(textAt(replies->back(), 1), std::to_string(50000 + demoTracks));
}

TEST(LibraryScanE2e, RescanSwapsTheLibraryWhileAClientBrowsesAndATrackPlays) {
    TempDir dir;
    const fs::path music = dir.path() / "rescan";
    ToneSpec tone;
    tone.seconds = 60;
    fs::create_directories(music / "Keep" / "Long");
    fs::create_directories(music / "Zed Gone" / "Old Album");
    ASSERT_TRUE(makeMp3(music / "Keep" / "Long" / "01 Long.mp3", tone));
    fs::copy_file(music / "Keep" / "Long" / "01 Long.mp3",
                  music / "Zed Gone" / "Old Album" / "01 Old.mp3");
    ServerProcess server({"--location", QString::fromStdString(music.string())});
    ASSERT_TRUE(server.ready()) << server.log();
    const std::string found = "Location " + music.string() + ": ";
    ASSERT_TRUE(logShows(server, found)) << server.log();

    // A track plays, and a client has the last artist (Aurora Vale, Keep,
    // Mira Okon, The Copper Kettles, Zed Gone: number 6) and its album selected.
    ASSERT_EQ(server.remote({"queue", "Keep", "Long", "01"}).exitCode, 0) << server.log();
    TestClient client;
    ASSERT_TRUE(client.connectTo(static_cast<quint16>(server.port())));
    net::CNDKMessage join(0);
    join.appendText("browser");
    ASSERT_TRUE(client.send(join));
    ASSERT_TRUE(client.receiveUntil(
        [](const net::CNDKMessage& m) { return textAt(m, 0) == "^TotalTracks"; }, 10000));
    ASSERT_TRUE(client.send(makeCommand("GetAlbums", "6")));
    ASSERT_TRUE(client.receiveUntil(
        [](const net::CNDKMessage& m) { return textAt(m, 1) == "Old Album"; }, 5000));
    ASSERT_TRUE(client.send(makeCommand("GetAlbumTracks", "2")));
    ASSERT_TRUE(client.receiveUntil(
        [](const net::CNDKMessage& m) { return textAt(m, 1) == "01 Old.mp3"; }, 5000));

    fs::remove_all(music / "Zed Gone");
    fs::create_directories(music / "Keep" / "Fresh");
    fs::copy_file(music / "Keep" / "Long" / "01 Long.mp3",
                  music / "Keep" / "Fresh" / "01 Fresh.mp3");
    ASSERT_TRUE(server.signal(SIGHUP));
    ASSERT_TRUE(logShows(server, found, 2)) << server.log();

    // The browsing client stayed; its selection now addresses nothing.
    client.drain();
    ASSERT_TRUE(client.send(makeCommand("PlayAlbumTrack", "2")));
    const auto refused = client.receiveUntil(
        [](const net::CNDKMessage& m) { return textAt(m, 0) == "^Error"; }, 5000);
    ASSERT_TRUE(refused);
    EXPECT_EQ(textAt(refused->back(), 1), "Cannot play track: no such track");

    // The track still plays, and the new library is what clients see.
    const QJsonObject status = json(server.remote({"--json", "status"}));
    EXPECT_EQ(status["state"].toString(), "Playing") << server.log();
    EXPECT_EQ(status["playlistLength"].toInt(), 1);
    const RemoteRun artists = server.remote({"artists"});
    EXPECT_FALSE(contains(artists.out, "Zed Gone")) << artists.out;
    const RemoteRun queued = server.remote({"queue", "Keep", "Fresh", "01 fresh"});
    EXPECT_EQ(queued.out, "Track [01 Fresh] Added to playlist\n") << queued.err << server.log();
}

} // namespace
} // namespace tembrel::test
