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

// What queueing one or more tracks brought: the server's answer to each.
struct QueueOutcome {
    std::vector<std::string> answers;
    int added = 0;
    bool refused = false;
    bool sessionFailed = false;
    bool full = false;
};

constexpr std::string_view kPlaylistFull = "Playlist is full";

// Queues the index-th track of the selected album (or loose tracks).
void queueTrack(Context& context, std::size_t index, QueueOutcome& outcome) {
    std::vector<net::CNDKMessage> replies;
    const auto request = protocol::commandMessage(protocol::Command::PlayAlbumTrack,
                                                  std::to_string(protocol::listedNumber(index)));
    if (!context.session().exchange(request, &replies)) {
        outcome.sessionFailed = true;
        return;
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
    outcome.added += added ? 1 : 0;
    outcome.refused = outcome.refused || !added;
    outcome.full = answer.find(kPlaylistFull) != std::string::npos;
    outcome.answers.push_back(std::move(answer));
}

// Queues the first `count` tracks of the selection, stopping when the
// playlist is full or the connection fails.
void queueListed(Context& context, std::size_t count, QueueOutcome& outcome) {
    for (std::size_t i = 0; i < count && !outcome.full && !outcome.sessionFailed; ++i) {
        queueTrack(context, i, outcome);
    }
}

int reportQueued(Context& context, const QueueOutcome& outcome) {
    if (outcome.sessionFailed) {
        return context.failSession();
    }
    if (outcome.answers.empty()) {
        return context.output().fail(ExitCode::Failed, "nothing to queue: no tracks there");
    }
    if (context.output().json()) {
        Json answers = Json::array();
        for (const auto& answer : outcome.answers) {
            answers.push(Json(answer));
        }
        context.output().emit(
            Json::object()
                .set("ok", !outcome.refused)
                .set("message", outcome.answers.back())
                .set("added", outcome.added)
                .set("messages", std::move(answers))
                .set("playlistLength", context.session().status().playlistLength));
    } else {
        for (const auto& answer : outcome.answers) {
            const bool added = protocol::isQueuedConfirmation(answer);
            (added ? context.output().out() : context.output().err()) << answer << '\n';
        }
    }
    return static_cast<int>(outcome.refused ? ExitCode::Failed : ExitCode::Ok);
}

// Every album in the listed order, then the loose tracks.
int queueWholeArtist(Context& context, const ArtistListing& artist) {
    QueueOutcome outcome;
    for (const std::string& name : artist.albums) {
        if (outcome.full || outcome.sessionFailed) {
            break;
        }
        AlbumListing album;
        if (auto rc = openAlbum(context, artist, name, album)) {
            return *rc;
        }
        queueListed(context, album.tracks.size(), outcome);
    }
    if (!artist.looseTracks.empty() && !outcome.full && !outcome.sessionFailed) {
        // Opening the artist again selects its loose tracks.
        ArtistListing again;
        if (auto rc = openArtist(context, artist.artist, again)) {
            return *rc;
        }
        queueListed(context, again.looseTracks.size(), outcome);
    }
    return reportQueued(context, outcome);
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
    if (loose ? args.size() != 2u : (args.empty() || args.size() > 3u)) {
        return context.usage(loose ? "queue --loose needs ARTIST and TRACK"
                                   : "queue needs ARTIST, ARTIST ALBUM or ARTIST ALBUM TRACK");
    }
    ArtistListing artist;
    if (auto rc = openArtist(context, args[0], artist)) {
        return *rc;
    }
    if (args.size() == 1) {
        return queueWholeArtist(context, artist);
    }
    const std::vector<std::string>* tracks = &artist.looseTracks;
    AlbumListing album;
    if (!loose) {
        if (auto rc = openAlbum(context, artist, args[1], album)) {
            return *rc;
        }
        tracks = &album.tracks;
        if (args.size() == 2) {
            QueueOutcome outcome;
            queueListed(context, album.tracks.size(), outcome);
            return reportQueued(context, outcome);
        }
    }
    const std::string& typed = args.back();
    const auto index = findListed(*tracks, typed, NameMatch::ExtensionFree);
    if (!index) {
        return context.output().fail(ExitCode::Failed,
                                     "no track '" + typed + "' in " +
                                         (loose ? "the loose tracks of " + artist.artist
                                                : album.album + " by " + artist.artist));
    }
    QueueOutcome outcome;
    queueTrack(context, *index, outcome);
    return reportQueued(context, outcome);
}

} // namespace tembrel::client
