// The file that keeps the playlist between runs, in the user's state folder
// ($XDG_STATE_HOME/tembrel-server/playlist, by default under ~/.local/state).
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "shell/SavedPlaylist.h"

namespace tembrel::shell {

class PlaylistStateFile {
public:
    // As many entries as the playlist holds; a file listing more keeps the first.
    static constexpr std::size_t kMaxEntries = 50;
    // A file larger than this is not read at all: 50 entries of five texts,
    // each percent-encoded, stay far below it.
    static constexpr std::size_t kMaxFileBytes = std::size_t{4} << 20;
    // One entry line at most; longer lines are skipped.
    static constexpr std::size_t kMaxLineBytes = std::size_t{64} << 10;

    explicit PlaylistStateFile(std::filesystem::path file);

    // $XDG_STATE_HOME/tembrel-server/playlist, $XDG_STATE_HOME defaulting to
    // ~/.local/state as the XDG base directory rules say.
    [[nodiscard]] static std::filesystem::path defaultPath();

    [[nodiscard]] const std::filesystem::path& path() const noexcept { return file_; }

    // Writes a new file next to the old one and renames it over, so a crash
    // leaves either the old or the new file, never half of one. On failure
    // `error` says why.
    [[nodiscard]] bool save(const SavedPlaylist& playlist, std::string* error = nullptr) const;

    // The saved playlist, or nothing when there is no file or it is not one of
    // ours. Lines that do not parse are skipped; entries whose file is no
    // longer a regular file are dropped, and the current entry, position and
    // state follow what is left.
    [[nodiscard]] std::optional<SavedPlaylist> load() const;

    // Removes the file (nothing to restore next time).
    void remove() const;

private:
    std::filesystem::path file_;
};

} // namespace tembrel::shell
