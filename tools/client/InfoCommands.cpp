// Commands that print what the join replies told: status, playlist, artists.
#include "Commands.h"
#include "Listing.h"
#include "StatusFormat.h"

namespace tembrel::client {

int runStatus(Context& context) {
    if (auto rc = context.expectArguments(0, 0)) {
        return *rc;
    }
    if (auto rc = context.join()) {
        return *rc;
    }
    return context.showStatus();
}

int runPlaylist(Context& context) {
    if (auto rc = context.expectArguments(0, 0)) {
        return *rc;
    }
    if (auto rc = context.join()) {
        return *rc;
    }
    const auto& playlist = context.session().joinInfo().playlist;
    const PlayerStatus& status = context.session().status();
    if (context.output().json()) {
        Json entries = Json::array();
        for (std::size_t i = 0; i < playlist.size(); ++i) {
            entries.push(Json::object()
                             .set("number", static_cast<int>(i + 1))
                             .set("artist", playlist[i].artist)
                             .set("title", playlist[i].title)
                             .set("length", playlist[i].length)
                             .set("current", static_cast<int>(i + 1) == status.trackNumber));
        }
        context.output().emit(Json::object().set("entries", std::move(entries)));
        return 0;
    }
    auto& out = context.output().out();
    if (playlist.empty()) {
        out << "The playlist is empty.\n";
    }
    for (std::size_t i = 0; i < playlist.size(); ++i) {
        const bool current = static_cast<int>(i + 1) == status.trackNumber;
        out << (current ? "> " : "  ") << i + 1 << ". " << playlist[i].artist << " - "
            << playlist[i].title << " (" << playlist[i].length << ")\n";
    }
    return 0;
}

int runArtists(Context& context) {
    if (auto rc = context.expectArguments(0, 0)) {
        return *rc;
    }
    if (auto rc = context.join()) {
        return *rc;
    }
    const auto& artists = context.session().joinInfo().artists;
    if (context.output().json()) {
        Json list = Json::array();
        for (std::size_t i = 0; i < artists.size(); ++i) {
            list.push(
                Json::object().set("number", static_cast<int>(i + 1)).set("name", artists[i]));
        }
        context.output().emit(Json::object().set("artists", std::move(list)));
    } else if (artists.empty()) {
        context.output().out() << "The library has no artists.\n";
    } else {
        context.output().out() << numberedLines(artists);
    }
    return 0;
}

} // namespace tembrel::client
