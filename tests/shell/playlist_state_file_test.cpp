// The kept playlist's file: what is written comes back, a damaged file gives
// nothing rather than a wrong playlist, and entries whose file went are dropped.
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "shell/PlaylistStateFile.h"

namespace tembrel::shell {
namespace {

class PlaylistStateFileTest : public ::testing::Test {
protected:
    // A real file in the temporary folder, for an entry that still exists.
    [[nodiscard]] SavedPlaylist::Entry track(const std::string& name) {
        const std::string path = dir_.filePath(QString::fromStdString(name)).toStdString();
        std::ofstream(path) << "audio";
        return {path, "Title " + name, "Album", "Artist", "3:25"};
    }
    [[nodiscard]] std::filesystem::path file() const {
        return dir_.filePath("state/tembrel-server/playlist").toStdString();
    }
    void writeRaw(const std::string& bytes) const {
        std::filesystem::create_directories(file().parent_path());
        std::ofstream(file(), std::ios::binary | std::ios::trunc) << bytes;
    }
    [[nodiscard]] std::string readRaw() const {
        std::ifstream in(file(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    QTemporaryDir dir_;
};

TEST_F(PlaylistStateFileTest, WhatIsSavedComesBackWithAnyBytesInTheTexts) {
    SavedPlaylist saved;
    saved.entries = {track("plain.mp3"), track("with space, tab\tand 100%.mp3"),
                     track("line\nbreak \xC3\xA9t\xC3\xA9.wma")};
    saved.entries[1].title = "";
    saved.entries[2].artist = "A \\ B";
    saved.current = 1;
    saved.positionMs = 61'500;
    saved.state = SavedPlaylist::State::Paused;
    saved.shuffle = true;
    saved.repeat = false;

    const PlaylistStateFile state(file());
    std::string error;
    ASSERT_TRUE(state.save(saved, &error)) << error;
    const auto loaded = state.load();
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(*loaded, saved);

    // Saving again replaces the file as a whole.
    saved.entries.resize(1);
    saved.current = 0;
    ASSERT_TRUE(state.save(saved));
    EXPECT_EQ(state.load(), saved);
}

TEST_F(PlaylistStateFileTest, NoFileOrAForeignFileGivesNothing) {
    const PlaylistStateFile state(file());
    EXPECT_FALSE(state.load().has_value());
    writeRaw("[Settings]\nVolume=128\n");
    EXPECT_FALSE(state.load().has_value());
    writeRaw(std::string(PlaylistStateFile::kMaxFileBytes + 1, 'x'));
    EXPECT_FALSE(state.load().has_value());
}

TEST_F(PlaylistStateFileTest, AFileCutShortAnywhereGivesNothing) {
    SavedPlaylist saved;
    saved.entries = {track("a.mp3"), track("b.mp3")};
    saved.current = 1;
    saved.state = SavedPlaylist::State::Playing;
    const PlaylistStateFile state(file());
    ASSERT_TRUE(state.save(saved));
    const std::string whole = readRaw();
    for (std::size_t length = 0; length + 1 < whole.size(); ++length) {
        writeRaw(whole.substr(0, length));
        EXPECT_FALSE(state.load().has_value()) << "cut after " << length << " bytes";
    }
    writeRaw(whole);
    EXPECT_EQ(state.load(), saved);
}

TEST_F(PlaylistStateFileTest, GarbageLinesAreSkippedAndNumbersChecked) {
    const SavedPlaylist::Entry a = track("a.mp3");
    const std::string encodedPath =
        QByteArray::fromStdString(a.path).toPercentEncoding().toStdString();
    writeRaw("tembrel-server playlist 1\n"
             "state dancing\n"
             "current -4\n"
             "position 99999999999999999999\n"
             "\x01\x02 binary \xff\n"
             "entry only two\n"
             "entry relative.mp3 t al ar 1:00\n"
             "entry " +
             encodedPath +
             " t al ar 1:00\n"
             "end\n"
             "entry " +
             encodedPath + " after the end\n");
    const auto loaded = PlaylistStateFile(file()).load();
    ASSERT_TRUE(loaded.has_value());
    ASSERT_EQ(loaded->entries.size(), 1u);
    EXPECT_EQ(loaded->entries[0].path, a.path);
    EXPECT_EQ(loaded->current, 0);
    EXPECT_EQ(loaded->positionMs, 0);
    EXPECT_EQ(loaded->state, SavedPlaylist::State::Stopped);
}

TEST_F(PlaylistStateFileTest, KeepsAtMostAFullPlaylist) {
    SavedPlaylist saved;
    const SavedPlaylist::Entry a = track("a.mp3");
    saved.entries.assign(PlaylistStateFile::kMaxEntries + 10, a);
    const PlaylistStateFile state(file());
    ASSERT_TRUE(state.save(saved));
    EXPECT_EQ(state.load()->entries.size(), PlaylistStateFile::kMaxEntries);
}

TEST_F(PlaylistStateFileTest, EntriesWhoseFileWentAreDroppedAndTheCurrentOneFollows) {
    SavedPlaylist saved;
    saved.entries = {track("0.mp3"), track("1.mp3"), track("2.mp3"), track("3.mp3")};
    saved.current = 2;
    saved.positionMs = 5000;
    saved.state = SavedPlaylist::State::Playing;
    const PlaylistStateFile state(file());
    ASSERT_TRUE(state.save(saved));

    // An entry before the current one went: the current one keeps playing.
    std::filesystem::remove(saved.entries[0].path);
    auto loaded = state.load();
    ASSERT_TRUE(loaded.has_value());
    ASSERT_EQ(loaded->entries.size(), 3u);
    EXPECT_EQ(loaded->entries[loaded->current].path, saved.entries[2].path);
    EXPECT_EQ(loaded->positionMs, 5000);
    EXPECT_EQ(loaded->state, SavedPlaylist::State::Playing);

    // The current one went: the next one is current, stopped, from its start.
    std::filesystem::remove(saved.entries[2].path);
    loaded = state.load();
    ASSERT_TRUE(loaded.has_value());
    ASSERT_EQ(loaded->entries.size(), 2u);
    EXPECT_EQ(loaded->entries[loaded->current].path, saved.entries[3].path);
    EXPECT_EQ(loaded->positionMs, 0);
    EXPECT_EQ(loaded->state, SavedPlaylist::State::Stopped);

    // A folder where a file was is not a track.
    std::filesystem::remove(saved.entries[3].path);
    std::filesystem::create_directory(saved.entries[3].path);
    loaded = state.load();
    ASSERT_TRUE(loaded.has_value());
    ASSERT_EQ(loaded->entries.size(), 1u);
    EXPECT_EQ(loaded->current, 0);
}

TEST(PlaylistStateFileDefault, FollowsXdgStateHome) {
    const char* before = std::getenv("XDG_STATE_HOME");
    const std::string saved = before != nullptr ? before : "";
    setenv("XDG_STATE_HOME", "/srv/state", 1);
    EXPECT_EQ(PlaylistStateFile::defaultPath(), "/srv/state/tembrel-server/playlist");
    // A relative value is ignored, as the XDG rules say.
    setenv("XDG_STATE_HOME", "state", 1);
    EXPECT_EQ(PlaylistStateFile::defaultPath().filename(), "playlist");
    EXPECT_TRUE(PlaylistStateFile::defaultPath().string().ends_with(
        "/.local/state/tembrel-server/playlist"));
    if (before != nullptr) {
        setenv("XDG_STATE_HOME", saved.c_str(), 1);
    } else {
        unsetenv("XDG_STATE_HOME");
    }
}

} // namespace
} // namespace tembrel::shell
