// Library browsing and queueing commands: listing a user's artist's albums
// and an album's tracks, and queueing a library track into the playlist.
#include <optional>
#include <string>

#include "remote/BrowseSelection.h"
#include "remote/CServerDlg.h"
#include "remote/DecimalText.h"

namespace tembrel::remote {

namespace {

using playback::CPlaylist;

constexpr std::string_view kNoSuchArtist = "Cannot list albums: no such artist";
constexpr std::string_view kNoArtistForTracks = "Cannot list tracks: no such artist";
constexpr std::string_view kNoSuchAlbum = "Cannot list tracks: no such album";
constexpr std::string_view kNoSuchTrack = "Cannot play track: no such track";
constexpr std::string_view kPlaylistFull = "Cannot play track: Playlist is full";

void putReply(net::CNDKMessage& message, std::string_view name, std::string_view payload) {
    message.putText(0, name);
    message.putText(1, payload);
}

} // namespace

void CServerDlg::getAlbums(std::int32_t userId, net::CNDKMessage& message,
                           const std::string& argument) {
    const int artistSlot = selectionFromNumber(atoiClamped(argument));
    selections_[userId] = Selection{artistSlot, kLooseTracksChoice};

    const auto albums = albumsOf(library_, artistSlot);
    const auto looseTracks = looseTracksOf(library_, artistSlot);
    if (!albums || !looseTracks) {
        putReply(message, "^Error", kNoSuchArtist);
        replyTo(userId, message);
        return;
    }
    // Trace of the album slot the artist's run starts at; for an artist
    // without albums that slot belongs to whoever follows.
    const int firstAlbum = library_.artist(artistSlot).firstAlbum;
    if (firstAlbum >= 0 && firstAlbum < library_.albumSlotCount()) {
        appendLog(library_.album(firstAlbum).name);
        appendLog(std::to_string(library_.album(firstAlbum).artistIndex));
    }
    for (int slot = albums->first; slot < albums->first + albums->count; ++slot) {
        putReply(message, "^AddAlbum", library_.album(slot).name);
        replyTo(userId, message);
    }
    for (int slot = looseTracks->first; slot < looseTracks->first + looseTracks->count; ++slot) {
        putReply(message, "^AddAlbumTracks", library_.track(slot).fileName);
        replyTo(userId, message);
    }
}

void CServerDlg::getAlbumTracks(std::int32_t userId, net::CNDKMessage& message,
                                const std::string& argument) {
    Selection& selection = selections_[userId];
    selection.album = selectionFromNumber(atoiClamped(argument));

    const auto tracks = tracksOfChoice(library_, selection.artist, selection.album);
    if (!tracks) {
        const bool artistListed = isListedArtist(library_, selection.artist);
        putReply(message, "^Error", artistListed ? kNoSuchAlbum : kNoArtistForTracks);
        replyTo(userId, message);
        return;
    }
    appendLog(std::to_string(library_.artist(selection.artist).firstAlbum - 1));
    appendLog(std::to_string(tracks->first));
    // Choice 1 (album choice 0) lists the artist's loose tracks, the run a
    // following "PlayAlbumTrack" addresses.
    for (int slot = tracks->first; slot < tracks->first + tracks->count; ++slot) {
        putReply(message, "^AddAlbumTracks", library_.track(slot).fileName);
        replyTo(userId, message);
    }
}

void CServerDlg::playAlbumTrack(std::int32_t userId, net::CNDKMessage& message,
                                const std::string& argument) {
    if (playlist_.count() >= CPlaylist::kPlaylistCapacity) {
        putReply(message, "^Error", kPlaylistFull);
        replyTo(userId, message);
        return;
    }
    appendLog(userName(userId) + ":" + argument);

    // A user that never opened an artist has slot 0, which no number reaches.
    const auto found = selections_.find(userId);
    const Selection selection = found != selections_.end() ? found->second : Selection{};
    const auto path =
        selectedTrackPath(library_, selection.artist, selection.album, atoiClamped(argument));
    if (!path) {
        putReply(message, "^Error", kNoSuchTrack);
        replyTo(userId, message);
        return;
    }
    queueTrack(*path, *path, userId, message);
}

void CServerDlg::queueTrack(const std::optional<std::string>& openPath, const std::string& namePath,
                            std::int32_t userId, net::CNDKMessage& message) {
    if (playlist_.count() >= CPlaylist::kPlaylistCapacity) {
        putReply(message, "^Error", kPlaylistFull);
        replyTo(userId, message);
        return;
    }
    std::string failedTitle;
    bool queued = false;
    if (openPath) {
        queued = playlist_.appendEntry(*openPath, namePath, &failedTitle);
    } else {
        // No file to open: the title is the one the name path gives, as the
        // tag reader takes it before it fails to open a file.
        std::string album;
        std::string artist;
        playback::CTagReader::readFallbackNames(namePath, failedTitle, album, artist);
    }
    if (!queued) {
        putReply(message, "^Error", "Cannot play track: " + failedTitle + " - File may use DRM");
        replyTo(userId, message);
        return;
    }
    const playback::PlaylistEntry& entry = playlist_.entry(playlist_.count() - 1);
    putReply(message, "^AddTrack", entry.artist + "\\" + entry.title + "\\" + entry.length);
    sendToAllUsers(message);
    putReply(message, "^Error", "Track [" + entry.title + "] Added to playlist");
    replyTo(userId, message);
}

} // namespace tembrel::remote
