// The search command: the library's artists, albums and tracks whose names
// contain a text, as the server's "Search" lists them.
#include <sstream>

#include "Commands.h"
#include "protocol/Messages.h"
#include "protocol/ProtocolConstants.h"

namespace tembrel::client {

namespace {

// One match of the server's listing ("track\A\B\T\ARTIST\ALBUM\TRACK").
struct Match {
    std::string kind;
    std::vector<int> numbers; // as the server numbers them (k + 2; album 1: loose)
    std::vector<std::string> names;
};

struct SearchResult {
    std::vector<Match> matches;
    int more = 0;
};

[[nodiscard]] std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    for (const char c : line) {
        if (c == protocol::kFieldSeparator) {
            fields.push_back(std::move(field));
            field.clear();
        } else {
            field += c;
        }
    }
    fields.push_back(std::move(field));
    return fields;
}

// Numbers per kind before the names: artist 1, album 2, track 3.
[[nodiscard]] std::size_t numberCount(std::string_view kind) {
    return kind == "artist" ? 1 : kind == "album" ? 2 : 3;
}

[[nodiscard]] SearchResult parse(const std::string& payload) {
    SearchResult result;
    std::istringstream lines(payload);
    std::string line;
    if (std::getline(lines, line)) {
        const auto counts = split(line);
        result.more = counts.size() == 2 ? std::atoi(counts[1].c_str()) : 0;
    }
    while (std::getline(lines, line)) {
        auto fields = split(line);
        Match match;
        match.kind = fields.front();
        const std::size_t numbers = numberCount(match.kind);
        for (std::size_t i = 1; i < fields.size(); ++i) {
            if (i <= numbers) {
                match.numbers.push_back(std::atoi(fields[i].c_str()));
            } else {
                match.names.push_back(std::move(fields[i]));
            }
        }
        result.matches.push_back(std::move(match));
    }
    return result;
}

// The numbers the client's own listings show (from 1).
[[nodiscard]] int listedNumber(int serverNumber) {
    return serverNumber - protocol::kFirstListedNumber + 1;
}

[[nodiscard]] bool isLoose(const Match& match) {
    return match.numbers.size() > 1 && match.numbers[1] == protocol::kLooseTracksAlbumNumber;
}

[[nodiscard]] Json matchJson(const Match& match) {
    Json object = Json::object().set("kind", match.kind);
    static constexpr std::string_view kNames[] = {"artist", "album", "track"};
    static constexpr std::string_view kNumbers[] = {"artistNumber", "albumNumber", "trackNumber"};
    const bool loose = isLoose(match);
    for (std::size_t i = 0; i < match.numbers.size(); ++i) {
        if (i == 1 && loose) {
            object.set("loose", true);
            continue;
        }
        object.set(std::string(kNumbers[i]), listedNumber(match.numbers[i]));
    }
    for (std::size_t i = 0; i < match.names.size() && i < std::size(kNames); ++i) {
        if (!(i == 1 && loose)) {
            object.set(std::string(kNames[i]), match.names[i]);
        }
    }
    return object;
}

[[nodiscard]] std::string matchLine(const Match& match) {
    std::string line = match.kind;
    line.resize(8, ' ');
    for (std::size_t i = 0; i < match.names.size(); ++i) {
        if (i > 0) {
            line += " / ";
        }
        line += i == 1 && isLoose(match) ? std::string("(loose)") : match.names[i];
    }
    return line + "\n";
}

} // namespace

int runSearch(Context& context) {
    if (auto rc = context.expectArguments(1, 1)) {
        return *rc;
    }
    if (auto rc = context.join()) {
        return *rc;
    }
    std::vector<net::CNDKMessage> replies;
    if (!context.session().exchange(
            protocol::commandMessage(protocol::Command::Search, context.args()[0]), &replies)) {
        return context.failSession();
    }
    SearchResult result;
    for (const net::CNDKMessage& reply : replies) {
        if (protocol::isReply(reply, protocol::Reply::Search)) {
            result = parse(protocol::payloadOf(reply));
        }
    }
    if (context.output().json()) {
        Json list = Json::array();
        for (const Match& match : result.matches) {
            list.push(matchJson(match));
        }
        context.output().emit(Json::object().set("matches", list).set("more", result.more));
        return 0;
    }
    auto& out = context.output().out();
    if (result.matches.empty()) {
        out << "No artist, album or track name contains \"" << context.args()[0] << "\".\n";
    }
    for (const Match& match : result.matches) {
        out << matchLine(match);
    }
    if (result.more > 0) {
        out << "(" << result.more << " more; search for more letters)\n";
    }
    return 0;
}

} // namespace tembrel::client
