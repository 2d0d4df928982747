// The playlist and the position in the current track survive a restart of
// the real server; a setting turns that off; entries whose file went are left
// out.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>

#include <filesystem>

#include "ServerProcess.h"

namespace tembrel::test {
namespace {

QJsonObject json(const RemoteRun& run) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
}

using PlaylistKept = ServerTest;

TEST_F(PlaylistKept, PlaylistPositionAndPauseSurviveARestart) {
    ok({"queue", "Mira Okon", "Sketches"});
    ok({"queue", "Aurora Vale", "Northern Lights", "01 Polar Morning"});
    ok({"track", "2"});
    ok({"seek", "+4"});
    ok({"repeat", "on"});
    // The status shows the position while playing only.
    const int position = json(ok({"--json", "status"}))["position"].toInt();
    ASSERT_GE(position, 3);
    ASSERT_EQ(json(ok({"--json", "pause"}))["state"].toString(), "Paused");

    ASSERT_TRUE(server_.restart()) << server_.log();
    const QJsonObject status = json(ok({"--json", "status"}));
    EXPECT_EQ(status["state"].toString(), "Paused");
    EXPECT_EQ(status["number"].toInt(), 2);
    EXPECT_EQ(status["playlistLength"].toInt(), 3);
    EXPECT_TRUE(status["repeat"].toBool());
    EXPECT_EQ(status["track"].toObject()["title"].toString(), "Watercolour");
    const QJsonArray entries = json(ok({"--json", "playlist"}))["entries"].toArray();
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[2].toObject()["title"].toString(), "Polar Morning");
    EXPECT_TRUE(contains(server_.log(), "Playlist restored: 3 tracks")) << server_.log();

    // Resuming goes on from where it was paused, not from the start.
    const QJsonObject resumed = json(ok({"--json", "play"}));
    EXPECT_EQ(resumed["state"].toString(), "Playing");
    EXPECT_GE(resumed["position"].toInt(), position - 1);
}

TEST_F(PlaylistKept, APlayingTrackPlaysOnAfterARestart) {
    ok({"queue", "Aurora Vale", "Northern Lights"});
    ok({"seek", "+6"});
    const int position = json(ok({"--json", "status"}))["position"].toInt();
    ASSERT_GE(position, 5);

    ASSERT_TRUE(server_.restart()) << server_.log();
    const QJsonObject status = json(ok({"--json", "status"}));
    EXPECT_EQ(status["state"].toString(), "Playing");
    EXPECT_EQ(status["number"].toInt(), 1);
    EXPECT_GE(status["position"].toInt(), position - 1);
}

TEST_F(PlaylistKept, TheSettingTurnsItOff) {
    ok({"queue", "Mira Okon", "Sketches"});
    ASSERT_TRUE(server_.stop());
    {
        QSettings settings(QString::fromStdString(server_.settingsFile().string()),
                           QSettings::IniFormat);
        settings.setValue(QStringLiteral("Settings/KeepPlaylist"), false);
    }
    ASSERT_TRUE(server_.start()) << server_.log();
    const QJsonObject status = json(ok({"--json", "status"}));
    EXPECT_EQ(status["playlistLength"].toInt(), 0);
    EXPECT_EQ(status["state"].toString(), "Stopped");
}

TEST_F(PlaylistKept, EntriesWhoseFileWentAreLeftOut) {
    // An uploaded copy of a demo track: its stored file can go away.
    const auto local = server_.settingsFile().parent_path() / "Gone Soon.mp3";
    std::filesystem::copy_file(demoLibrary() / "Mira Okon" / "Sketches" / "01 Charcoal.mp3", local);
    ok({"upload", QString::fromStdString(local.string())});
    ok({"queue", "Mira Okon", "Sketches", "02 Watercolour"});
    ASSERT_EQ(json(ok({"--json", "status"}))["playlistLength"].toInt(), 2);
    ASSERT_TRUE(server_.stop());
    std::filesystem::remove(server_.uploadDir() / "Gone Soon.mp3");

    ASSERT_TRUE(server_.start()) << server_.log();
    const QJsonObject status = json(ok({"--json", "status"}));
    EXPECT_EQ(status["playlistLength"].toInt(), 1);
    EXPECT_EQ(status["track"].toObject()["title"].toString(), "Watercolour");
    // The current entry went, so nothing plays.
    EXPECT_EQ(status["state"].toString(), "Stopped");
}

} // namespace
} // namespace tembrel::test
