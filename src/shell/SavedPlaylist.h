// What is kept of the playlist between runs: its entries, the current entry,
// the position in it and the play state, and the two switches.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tembrel::shell {

struct SavedPlaylist {
    // The texts the status and the playlist replies show, kept so that an
    // uploaded file keeps the names its client's path gave it.
    struct Entry {
        std::string path;
        std::string title;
        std::string album;
        std::string artist;
        std::string length;

        friend bool operator==(const Entry&, const Entry&) = default;
    };
    enum class State { Stopped, Playing, Paused };

    std::vector<Entry> entries;
    int current = 0;
    std::int64_t positionMs = 0;
    State state = State::Stopped;
    bool shuffle = false;
    bool repeat = false;

    friend bool operator==(const SavedPlaylist&, const SavedPlaylist&) = default;
};

// The two sides of keeping the playlist: the running server gives its
// playlist away and takes a saved one back at start.
class PlaylistKeeper {
public:
    virtual ~PlaylistKeeper() = default;
    [[nodiscard]] virtual SavedPlaylist snapshot() const = 0;
    virtual void restore(const SavedPlaylist& saved) = 0;
};

} // namespace tembrel::shell
