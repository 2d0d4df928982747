// Artist and album selection on the server.
#include "Browse.h"

#include "Listing.h"
#include "Replies.h"

namespace tembrel::client {

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
    const auto request = commandMessage("GetAlbums", std::to_string(listedNumber(*index)));
    if (!context.session().exchange(request, &replies)) {
        return context.failSession();
    }
    for (const auto& reply : replies) {
        const std::string name = replyName(reply);
        if (name == "^AddAlbum") {
            out.albums.push_back(replyText(reply));
        } else if (name == "^AddAlbumTracks") {
            out.looseTracks.push_back(replyText(reply));
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
    const auto request = commandMessage("GetAlbumTracks", std::to_string(listedNumber(*index)));
    if (!context.session().exchange(request, &replies)) {
        return context.failSession();
    }
    for (const auto& reply : replies) {
        if (replyName(reply) == "^AddAlbumTracks") {
            out.tracks.push_back(replyText(reply));
        }
    }
    return std::nullopt;
}

} // namespace tembrel::client
