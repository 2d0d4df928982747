// Library browsing and queueing commands.
#include "remote/LibraryBrowser.h"

#include "protocol/Messages.h"
#include "remote/BrowseSelection.h"
#include "remote/ClientText.h"
#include "remote/DecimalText.h"
#include "remote/LibrarySearch.h"

namespace tembrel::remote {

namespace {

using playback::CPlaylist;
using protocol::Reply;

constexpr std::string_view kNoSuchArtist = "Cannot list albums: no such artist";
constexpr std::string_view kNoArtistForTracks = "Cannot list tracks: no such artist";
constexpr std::string_view kNoSuchAlbum = "Cannot list tracks: no such album";
constexpr std::string_view kNoSuchTrack = "Cannot play track: no such track";
constexpr std::string_view kPlaylistFull = "Cannot play track: Playlist is full";

// The ^AddTrack payload of a playlist entry.
[[nodiscard]] std::string trackFields(const playback::PlaylistEntry& entry) {
    const std::string_view fields[] = {entry.artist, entry.title, entry.length};
    return protocol::joinFields(fields);
}

} // namespace

void LibraryBrowser::replyError(std::int32_t userId, net::CNDKMessage& message,
                                std::string_view text) {
    protocol::putReply(message, Reply::Error, text);
    messenger_.replyTo(userId, message);
}

void LibraryBrowser::search(std::int32_t userId, net::CNDKMessage& message, std::string_view text) {
    protocol::putReply(message, protocol::Reply::Search, searchLibrary(library_, text));
    messenger_.replyTo(userId, message);
}

void LibraryBrowser::listAlbums(std::int32_t userId, net::CNDKMessage& message,
                                std::string_view number) {
    const int artistSlot = selectionFromNumber(atoiClamped(number));
    roster_.selectionFor(userId) = UserRoster::Selection{artistSlot, kLooseTracksChoice};

    const auto albums = albumsOf(library_, artistSlot);
    const auto looseTracks = looseTracksOf(library_, artistSlot);
    if (!albums || !looseTracks) {
        replyError(userId, message, kNoSuchArtist);
        return;
    }
    // Trace of the album slot the artist's run starts at; for an artist
    // without albums that slot belongs to whoever follows.
    const int firstAlbum = library_.artist(artistSlot).firstAlbum;
    if (firstAlbum >= 0 && firstAlbum < library_.albumSlotCount()) {
        log_.appendLog(library_.album(firstAlbum).name);
        log_.appendLog(std::to_string(library_.album(firstAlbum).artistIndex));
    }
    for (int slot = albums->first; slot < albums->first + albums->count; ++slot) {
        protocol::putReply(message, Reply::AddAlbum, library_.album(slot).name);
        messenger_.replyTo(userId, message);
    }
    for (int slot = looseTracks->first; slot < looseTracks->first + looseTracks->count; ++slot) {
        protocol::putReply(message, Reply::AddAlbumTracks, library_.track(slot).fileName);
        messenger_.replyTo(userId, message);
    }
}

void LibraryBrowser::listAlbumTracks(std::int32_t userId, net::CNDKMessage& message,
                                     std::string_view number) {
    UserRoster::Selection& selection = roster_.selectionFor(userId);
    selection.album = selectionFromNumber(atoiClamped(number));

    const auto tracks = tracksOfChoice(library_, selection.artist, selection.album);
    if (!tracks) {
        const bool artistListed = isListedArtist(library_, selection.artist);
        replyError(userId, message, artistListed ? kNoSuchAlbum : kNoArtistForTracks);
        return;
    }
    log_.appendLog(std::to_string(library_.artist(selection.artist).firstAlbum - 1));
    log_.appendLog(std::to_string(tracks->first));
    // Choice 1 (album choice 0) lists the artist's loose tracks, the run a
    // following PlayAlbumTrack addresses.
    for (int slot = tracks->first; slot < tracks->first + tracks->count; ++slot) {
        protocol::putReply(message, Reply::AddAlbumTracks, library_.track(slot).fileName);
        messenger_.replyTo(userId, message);
    }
}

void LibraryBrowser::queueAlbumTrack(std::int32_t userId, net::CNDKMessage& message,
                                     const std::string& number) {
    if (playlist_.count() >= CPlaylist::kPlaylistCapacity) {
        replyError(userId, message, kPlaylistFull);
        return;
    }
    const std::string name = roster_.userName(userId);
    log_.appendUserLog(userId, name, forLog(name) + ":" + forLog(number));

    const auto path = albumTrackPath(userId, number);
    if (!path) {
        replyError(userId, message, kNoSuchTrack);
        return;
    }
    queueTrack(*path, *path, userId, message);
}

std::optional<std::string> LibraryBrowser::albumTrackPath(std::int32_t userId,
                                                          const std::string& number) const {
    // A user that never opened an artist has slot 0, which no number reaches.
    const UserRoster::Selection selection = roster_.selection(userId);
    return selectedTrackPath(library_, selection.artist, selection.album, atoiClamped(number));
}

bool LibraryBrowser::queueTrack(const std::optional<std::string>& openPath,
                                const std::string& namePath, std::int32_t userId,
                                net::CNDKMessage& message) {
    if (playlist_.count() >= CPlaylist::kPlaylistCapacity) {
        replyError(userId, message, kPlaylistFull);
        return false;
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
        replyError(userId, message, "Cannot play track: " + failedTitle + " - File may use DRM");
        return false;
    }
    const playback::PlaylistEntry& entry = playlist_.entry(playlist_.count() - 1);
    protocol::putReply(message, Reply::AddTrack, trackFields(entry));
    messenger_.broadcast(message);
    replyError(userId, message, "Track [" + entry.title + "] Added to playlist");
    return true;
}

void LibraryBrowser::sendPlaylist(std::int32_t userId, net::CNDKMessage& message) {
    for (int index = 0; index < playlist_.count(); ++index) {
        protocol::putReply(message, Reply::AddTrack, trackFields(playlist_.entry(index)));
        messenger_.replyTo(userId, message);
    }
}

void LibraryBrowser::sendArtists(std::int32_t userId, net::CNDKMessage& message) {
    for (int slot = 1; slot < library_.nextArtistSlot(); ++slot) {
        protocol::putReply(message, Reply::AddArtist, library_.artist(slot).name);
        messenger_.replyTo(userId, message);
    }
}

} // namespace tembrel::remote
