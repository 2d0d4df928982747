#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <span>
#include <string>

#include "playback/CSoundEngine.h"
#include "playback/CTagReader.h"
#include "playback/ShuffleRandom.h"

namespace tembrel::playback {

struct PlaylistEntry {
    std::string path;
    std::string title;
    std::string album;
    std::string artist;
    std::string length;
    int played = 0;
};

// The one shared play queue: at most 50 entries, only ever appended.
class CPlaylist {
public:
    static constexpr int kPlaylistCapacity = 50;
    using Clock = std::function<std::time_t()>;

    // Registers onStreamEnd as the engine's end-of-stream handler. `clock`
    // gives the calendar time in seconds that seeds each shuffle pick
    // (default: std::time).
    CPlaylist(CSoundEngine& engine, const CTagReader& tagReader, Clock clock = {});
    // Unregisters the end-of-stream handler.
    ~CPlaylist();
    CPlaylist(const CPlaylist&) = delete;
    CPlaylist& operator=(const CPlaylist&) = delete;

    [[nodiscard]] int count() const noexcept { return count_; }
    [[nodiscard]] int current() const noexcept { return current_; }
    [[nodiscard]] int shuffle() const noexcept { return shuffle_; }
    [[nodiscard]] int repeat() const noexcept { return repeat_; }
    // Precondition: 0 <= index < kPlaylistCapacity.
    [[nodiscard]] const PlaylistEntry& entry(int index) const { return entries_.at(index); }

    [[nodiscard]] int pickShuffleIndex();
    void playEntry(int index);
    void playNext();
    void playPrevious();
    // The entry playNext() (`forward`) or playPrevious() starts while shuffle
    // is off; -1 when it starts none. Nothing changes.
    [[nodiscard]] int followingIndex(bool forward) const noexcept;
    // The caller checks count() < kPlaylistCapacity first; returns false
    // (and rolls back) when the tag reader cannot open the file. On failure
    // `failedTitle` receives the title taken from the name path.
    [[nodiscard]] bool appendEntry(const std::string& openPath, const std::string& namePath,
                                   std::string* failedTitle = nullptr);
    void setShuffle(int on);
    void setRepeat(int on);
    void clearPlayed() noexcept;
    // Puts back a playlist kept from an earlier run, replacing what the queue
    // holds, without reading tags or starting anything. Entries beyond the
    // capacity are left out; a `current` outside the entries becomes 0.
    void restore(std::span<const PlaylistEntry> entries, int current);
    // Told, after an entry started, the file of the entry that follows it
    // in order (shuffle off), so that it can be read ahead.
    void setUpcomingHandler(std::function<void(const std::string& path)> handler) {
        upcomingHandler_ = std::move(handler);
    }
    // The end-of-track advance; registered with the engine.
    void onStreamEnd();

private:
    CSoundEngine& engine_;
    const CTagReader& tagReader_;
    Clock clock_;
    std::function<void(const std::string& path)> upcomingHandler_;
    std::array<PlaylistEntry, kPlaylistCapacity> entries_{};
    std::array<int, kPlaylistCapacity> candidates_{};
    int count_ = 0;
    int current_ = 0;
    int shuffle_ = 0;
    int repeat_ = 0;
    ShuffleRandom random_;
};

} // namespace tembrel::playback
