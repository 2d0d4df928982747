// A user browsing the demo library with tembrel-remote, queueing tracks and
// controlling playback, against the real server.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "ServerProcess.h"

namespace tembrel::test {
namespace {

QJsonObject json(const RemoteRun& run) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
}

using BrowseAndPlay = ServerTest;

TEST_F(BrowseAndPlay, BrowsesArtistsAlbumsAndTracksByNameOrNumber) {
    const RemoteRun artists = ok({"artists"});
    for (const char* name : {"Aurora Vale", "Mira Okon", "The Copper Kettles"}) {
        EXPECT_TRUE(contains(artists.out, name)) << artists.out;
    }
    const QJsonArray list = json(ok({"--json", "artists"}))["artists"].toArray();
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list[0].toObject()["number"].toInt(), 1);

    const RemoteRun albums = ok({"albums", "aurora VALE"});
    EXPECT_TRUE(contains(albums.out, "Northern Lights")) << albums.out;
    EXPECT_TRUE(contains(albums.out, "Quiet Harbour")) << albums.out;
    EXPECT_TRUE(contains(albums.out, "Lighthouse.mp3")) << albums.out;

    // The same artist by the number the listing shows.
    int auroraNumber = 0;
    for (const auto& entry : list) {
        if (entry.toObject()["name"].toString() == "Aurora Vale") {
            auroraNumber = entry.toObject()["number"].toInt();
        }
    }
    const QJsonObject byNumber = json(ok({"--json", "albums", QString::number(auroraNumber)}));
    EXPECT_EQ(byNumber["artist"].toString(), "Aurora Vale");
    EXPECT_EQ(byNumber["albums"].toArray().size(), 2);
    EXPECT_EQ(byNumber["looseTracks"].toArray().size(), 1);

    const QJsonObject tracks =
        json(ok({"--json", "tracks", "the copper kettles", "steam and whistles"}));
    const QJsonArray files = tracks["tracks"].toArray();
    ASSERT_EQ(files.size(), 3);
    QStringList names;
    for (const auto& file : files) {
        names << file.toObject()["name"].toString();
    }
    EXPECT_TRUE(names.contains("02 Whistle Stop.wma")) << names.join(", ").toStdString();

    const RemoteRun missing = server_.remote({"albums", "Nobody"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(contains(missing.err, "no artist 'Nobody'")) << missing.err;
}

TEST_F(BrowseAndPlay, SearchFindsNamesWhoseNumbersQueueTheTrack) {
    const RemoteRun text = ok({"search", "LIGHT"});
    EXPECT_TRUE(contains(text.out, "album   Aurora Vale / Northern Lights")) << text.out;
    EXPECT_TRUE(contains(text.out, "track   Aurora Vale / (loose) / Lighthouse.mp3")) << text.out;

    // The numbers of a match are the ones the listings show: they queue it.
    const QJsonObject found = json(ok({"--json", "search", "ice road"}));
    const QJsonArray matches = found["matches"].toArray();
    ASSERT_EQ(matches.size(), 1) << text.out;
    const QJsonObject track = matches[0].toObject();
    EXPECT_EQ(track["track"].toString(), "02 Ice Road.mp3");
    const RemoteRun queued = ok({"queue", QString::number(track["artistNumber"].toInt()),
                                 QString::number(track["albumNumber"].toInt()),
                                 QString::number(track["trackNumber"].toInt())});
    EXPECT_TRUE(contains(queued.out, "Ice Road")) << queued.out;
    EXPECT_EQ(ok({"search", "nothing like this"}).exitCode, 0);
}

TEST_F(BrowseAndPlay, QueuedTrackPlaysAndStatusShowsIt) {
    const RemoteRun empty = ok({"--json", "status"});
    EXPECT_EQ(json(empty)["state"].toString(), "Stopped");
    EXPECT_EQ(json(empty)["playlistLength"].toInt(), 0);

    const RemoteRun queued = ok({"queue", "Aurora Vale", "Northern Lights", "02 ice road"});
    EXPECT_EQ(queued.out, "Track [Ice Road] Added to playlist\n");
    const RemoteRun loose = ok({"queue", "--loose", "aurora vale", "Lighthouse"});
    EXPECT_EQ(loose.out, "Track [Lighthouse] Added to playlist\n");
    // The WMA file, by its number in the listing.
    const QJsonArray files =
        json(ok({"--json", "tracks", "The Copper Kettles", "Steam and Whistles"}))["tracks"]
            .toArray();
    QString wmaNumber;
    for (const auto& file : files) {
        if (file.toObject()["name"].toString().endsWith(".wma")) {
            wmaNumber = QString::number(file.toObject()["number"].toInt());
        }
    }
    ASSERT_FALSE(wmaNumber.isEmpty());
    const RemoteRun wma = ok({"--json", "queue", "The Copper Kettles", "1", wmaNumber});
    EXPECT_TRUE(json(wma)["ok"].toBool()) << wma.out;
    EXPECT_EQ(json(wma)["message"].toString(), "Track [Whistle Stop] Added to playlist");

    const QJsonObject status = json(ok({"--json", "status"}));
    EXPECT_EQ(status["state"].toString(), "Playing");
    EXPECT_EQ(status["number"].toInt(), 1);
    EXPECT_EQ(status["playlistLength"].toInt(), 3);
    EXPECT_EQ(status["track"].toObject()["title"].toString(), "Ice Road");
    EXPECT_EQ(status["track"].toObject()["artist"].toString(), "Aurora Vale");
    EXPECT_EQ(status["track"].toObject()["album"].toString(), "Northern Lights");

    const RemoteRun text = ok({"status"});
    EXPECT_TRUE(contains(text.out, "Ice Road")) << text.out;
    EXPECT_TRUE(contains(text.out, "Playing")) << text.out;

    const RemoteRun playlist = ok({"playlist"});
    EXPECT_TRUE(contains(playlist.out, "> 1. Aurora Vale - Ice Road")) << playlist.out;
    EXPECT_TRUE(contains(playlist.out, "3. The Copper Kettles - Whistle Stop")) << playlist.out;
}

TEST_F(BrowseAndPlay, TransportCommandsChangeWhatTheStatusShows) {
    ok({"queue", "Mira Okon", "Sketches", "01 Charcoal"});
    ok({"queue", "Mira Okon", "Sketches", "02 Watercolour"});

    EXPECT_EQ(json(ok({"--json", "pause"}))["state"].toString(), "Paused");
    EXPECT_EQ(json(ok({"--json", "pause"}))["state"].toString(), "Playing");
    EXPECT_EQ(json(ok({"--json", "next"}))["track"].toObject()["title"].toString(), "Watercolour");
    EXPECT_EQ(json(ok({"--json", "prev"}))["number"].toInt(), 1);
    EXPECT_EQ(json(ok({"--json", "track", "2"}))["number"].toInt(), 2);

    const QJsonObject seeked = json(ok({"--json", "seek", "50"}));
    EXPECT_EQ(seeked["state"].toString(), "Playing");
    const int length = seeked["length"].toInt();
    EXPECT_GE(length, 10);
    EXPECT_GE(seeked["position"].toInt(), length / 2 - 1)
        << seeked["elapsed"].toString().toStdString();

    EXPECT_EQ(json(ok({"--json", "vol", "up"}))["volume"].toInt(), 56);
    EXPECT_EQ(json(ok({"--json", "vol", "mute"}))["volume"].toInt(), 0);
    EXPECT_TRUE(json(ok({"--json", "shuffle"}))["shuffle"].toBool());
    EXPECT_TRUE(json(ok({"--json", "repeat"}))["repeat"].toBool());
    EXPECT_EQ(json(ok({"--json", "stop"}))["state"].toString(), "Stopped");
    EXPECT_EQ(json(ok({"--json", "play"}))["state"].toString(), "Playing");

    const RemoteRun beyond = server_.remote({"track", "3"});
    EXPECT_EQ(beyond.exitCode, 1);
    EXPECT_TRUE(contains(beyond.err, "no playlist entry 3 (the playlist has 2)")) << beyond.err;
}

TEST_F(BrowseAndPlay, RawPrintsEveryReplyOfACommand) {
    const RemoteRun raw = ok({"raw", "GetInfo"});
    // GetInfo broadcasts the status, then the command's own broadcast follows.
    std::size_t statuses = 0;
    for (std::size_t at = raw.out.find("^Status\tStopped"); at != std::string::npos;
         at = raw.out.find("^Status\tStopped", at + 1)) {
        ++statuses;
    }
    EXPECT_EQ(statuses, 2u) << raw.out;
    EXPECT_TRUE(contains(raw.out, "^TrackName\tPlaylist is empty")) << raw.out;
}

} // namespace
} // namespace tembrel::test
