// The browsing and queueing commands: albums, tracks, queue.
#include "Browse.h"
#include "Listing.h"
#include "protocol/Messages.h"

namespace tembrel::client {

namespace {

constexpr std::string_view kLooseOption = "--loose";

Json numberedJson(const std::vector<std::string>& items) {
    Json list = Json::array();
    for (std::size_t i = 0; i < items.size(); ++i) {
        list.push(Json::object().set("number", static_cast<int>(i + 1)).set("name", items[i]));
    }
    return list;
}

} // namespace

int runAlbums(Context& context) {
    if (auto rc = context.expectArguments(1, 1)) {
        return *rc;
    }
    ArtistListing listing;
    if (auto rc = openArtist(context, context.args()[0], listing)) {
        return *rc;
    }
    if (context.output().json()) {
        context.output().emit(Json::object()
                                  .set("artist", listing.artist)
                                  .set("albums", numberedJson(listing.albums))
                                  .set("looseTracks", numberedJson(listing.looseTracks)));
        return 0;
    }
    auto& out = context.output().out();
    out << "Albums of " << listing.artist << ":\n";
    out << (listing.albums.empty() ? "  (none)\n" : numberedLines(listing.albums));
    if (!listing.looseTracks.empty()) {
        out << "Loose tracks (queue --loose):\n" << numberedLines(listing.looseTracks);
    }
    return 0;
}

int runTracks(Context& context) {
    if (auto rc = context.expectArguments(2, 2)) {
        return *rc;
    }
    ArtistListing artist;
    if (auto rc = openArtist(context, context.args()[0], artist)) {
        return *rc;
    }
    AlbumListing album;
    if (auto rc = openAlbum(context, artist, context.args()[1], album)) {
        return *rc;
    }
    if (context.output().json()) {
        context.output().emit(Json::object()
                                  .set("artist", artist.artist)
                                  .set("album", album.album)
                                  .set("tracks", numberedJson(album.tracks)));
        return 0;
    }
    auto& out = context.output().out();
    out << album.album << " by " << artist.artist << ":\n";
    out << (album.tracks.empty() ? "  (no tracks)\n" : numberedLines(album.tracks));
    return 0;
}

int runQueue(Context& context) {
    std::vector<std::string> args = context.args();
    const bool loose = !args.empty() && args[0] == kLooseOption;
    if (loose) {
        args.erase(args.begin());
    }
    if (args.size() != (loose ? 2u : 3u)) {
        return context.usage(loose ? "queue --loose needs ARTIST and TRACK"
                                   : "queue needs ARTIST, ALBUM and TRACK");
    }
    ArtistListing artist;
    if (auto rc = openArtist(context, args[0], artist)) {
        return *rc;
    }
    const std::vector<std::string>* tracks = &artist.looseTracks;
    AlbumListing album;
    if (!loose) {
        if (auto rc = openAlbum(context, artist, args[1], album)) {
            return *rc;
        }
        tracks = &album.tracks;
    }
    const std::string& typed = args.back();
    const auto index = findListed(*tracks, typed, NameMatch::ExtensionFree);
    if (!index) {
        return context.output().fail(ExitCode::Failed,
                                     "no track '" + typed + "' in " +
                                         (loose ? "the loose tracks of " + artist.artist
                                                : album.album + " by " + artist.artist));
    }
    std::vector<net::CNDKMessage> replies;
    if (auto rc = requestListed(context, protocol::Command::PlayAlbumTrack, *index, replies)) {
        return *rc;
    }
    std::string answer;
    for (const auto& reply : replies) {
        if (protocol::isReply(reply, protocol::Reply::Error)) {
            answer = protocol::payloadOf(reply);
        }
    }
    const bool added = protocol::isQueuedConfirmation(answer);
    if (answer.empty()) {
        answer = "the server did not answer the queue request";
    }
    if (context.output().json()) {
        context.output().emit(
            Json::object()
                .set("ok", added)
                .set("message", answer)
                .set("playlistLength", context.session().status().playlistLength));
    } else {
        (added ? context.output().out() : context.output().err()) << answer << '\n';
    }
    return static_cast<int>(added ? ExitCode::Ok : ExitCode::Failed);
}

} // namespace tembrel::client
