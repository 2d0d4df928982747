// Library browsing and queueing: a user's artist's albums and loose tracks,
// an album's tracks, and queueing a library track or an upload into the
// playlist. Each user browses with its own selection, kept in the roster.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "library/CMediaLibrary.h"
#include "net/CNDKMessage.h"
#include "playback/CPlaylist.h"
#include "remote/ServerLog.h"
#include "remote/UserMessenger.h"
#include "remote/UserRoster.h"

namespace tembrel::remote {

class LibraryBrowser {
public:
    LibraryBrowser(const library::CMediaLibrary& library, playback::CPlaylist& playlist,
                   UserRoster& roster, UserMessenger& messenger, ServerLog& log) noexcept
        : library_(library), playlist_(playlist), roster_(roster), messenger_(messenger),
          log_(log) {}

    // Replies are built in `message` and sent to `userId` unless stated.
    // GetAlbums: selects the artist the number lists, sends its albums
    // ("^AddAlbum") and loose tracks ("^AddAlbumTracks").
    void listAlbums(std::int32_t userId, net::CNDKMessage& message, std::string_view number);
    // GetAlbumTracks: selects the album, sends its tracks.
    void listAlbumTracks(std::int32_t userId, net::CNDKMessage& message, std::string_view number);
    // PlayAlbumTrack: queues the track the number lists in the selection.
    void queueAlbumTrack(std::int32_t userId, net::CNDKMessage& message, const std::string& number);
    // The library file queueAlbumTrack() would queue for the same number;
    // nothing changes.
    [[nodiscard]] std::optional<std::string> albumTrackPath(std::int32_t userId,
                                                            const std::string& number) const;
    // "Search": the library's artists, albums and tracks whose names hold
    // the text, in "^Search" to the user only.
    void search(std::int32_t userId, net::CNDKMessage& message, std::string_view text);
    // Appends a track to the playlist: ^AddTrack to all users and the
    // confirmation to the user, or ^Error. Without an open path (an upload
    // that could not be stored) it answers as for a file that cannot be opened. True when queued.
    bool queueTrack(const std::optional<std::string>& openPath, const std::string& namePath,
                    std::int32_t userId, net::CNDKMessage& message);

    // The join replies: ^AddTrack for each playlist entry, "^AddArtist"
    // for each artist.
    void sendPlaylist(std::int32_t userId, net::CNDKMessage& message);
    void sendArtists(std::int32_t userId, net::CNDKMessage& message);

private:
    // ^Error to the user; it carries confirmations as well as refusals.
    void replyError(std::int32_t userId, net::CNDKMessage& message, std::string_view text);

    const library::CMediaLibrary& library_;
    playback::CPlaylist& playlist_;
    UserRoster& roster_;
    UserMessenger& messenger_;
    ServerLog& log_;
};

} // namespace tembrel::remote
