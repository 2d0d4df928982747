// Artist and album selection on the server.
#include "Browse.h"

#include "Listing.h"
#include "protocol/Messages.h"

namespace tembrel::client {

std::optional<int> requestListed(Context& context, protocol::Command command, std::size_t index,
                                 std::vector<net::CNDKMessage>& replies) {
    const auto request =
        protocol::commandMessage(command, std::to_string(protocol::listedNumber(index)));
    if (!context.session().exchange(request, &replies)) {
        return context.failSession();
    }
    return std::nullopt;
}

std::optional<int> openArtist(Context& context, std::string_view typed, ArtistListing& out) {
    if (auto rc = context.join()) {
        return rc;
    }
    const auto& artists = context.session().joinInfo().artists;
    const auto index = findListed(artists, typed);
    if (!index) {
        return context.output().fail(ExitCode::Failed, "no artist '" + std::string(typed) +
                                                           "' (see 'tembrel-remote artists')");
    }
    out.artist = artists[*index];
    std::vector<net::CNDKMessage> replies;
    if (auto rc = requestListed(context, protocol::Command::GetAlbums, *index, replies)) {
        return rc;
    }
    for (const auto& reply : replies) {
        const auto name = protocol::replyOf(reply);
        if (name == protocol::Reply::AddAlbum) {
            out.albums.push_back(protocol::payloadOf(reply));
        } else if (name == protocol::Reply::AddAlbumTracks) {
            out.looseTracks.push_back(protocol::payloadOf(reply));
        }
    }
    return std::nullopt;
}

std::optional<int> openAlbum(Context& context, const ArtistListing& artist, std::string_view typed,
                             AlbumListing& out) {
    const auto index = findListed(artist.albums, typed);
    if (!index) {
        return context.output().fail(ExitCode::Failed, "no album '" + std::string(typed) + "' by " +
                                                           artist.artist +
                                                           " (see 'tembrel-remote albums')");
    }
    out.album = artist.albums[*index];
    std::vector<net::CNDKMessage> replies;
    if (auto rc = requestListed(context, protocol::Command::GetAlbumTracks, *index, replies)) {
        return rc;
    }
    for (const auto& reply : replies) {
        if (protocol::isReply(reply, protocol::Reply::AddAlbumTracks)) {
            out.tracks.push_back(protocol::payloadOf(reply));
        }
    }
    return std::nullopt;
}

} // namespace tembrel::client
