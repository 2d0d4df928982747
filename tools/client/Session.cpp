// The join sequence and the request/reply exchanges of a client session.
#include "Session.h"

#include "Text.h"
#include "protocol/Messages.h"

namespace tembrel::client {

Session::~Session() {
    leave();
}

bool Session::open(const std::string& host, int port, const std::string& name) {
    if (!connection_.open(host, port)) {
        return false;
    }
    joining_ = true;
    const bool joined = exchange(protocol::joinMessage(name));
    joining_ = false;
    return joined;
}

void Session::absorbJoinReply(const net::CNDKMessage& message) {
    using protocol::Reply;
    const auto reply = protocol::replyOf(message);
    const std::string payload = protocol::payloadOf(message);
    // A track queued by another user reaches everybody with id 2; the join
    // lists the playlist with the join message's id 0.
    if (reply == Reply::AddTrack && message.id() != protocol::kIdCommand) {
        const auto fields =
            protocol::splitFields(payload, protocol::replySpec(Reply::AddTrack).fields.size());
        join_.playlist.push_back({fields[0], fields[1], fields[2]});
    } else if (reply == Reply::AddArtist) {
        join_.artists.push_back(payload);
    } else if (reply == Reply::NumArtists) {
        join_.artistTotal = static_cast<int>(leadingNumber(payload));
    } else if (reply == Reply::NumAlbums) {
        join_.albumTotal = static_cast<int>(leadingNumber(payload));
    } else if (reply == Reply::TotalTracks) {
        join_.trackTotal = static_cast<int>(leadingNumber(payload));
    }
}

bool Session::send(const net::CNDKMessage& message) {
    return connection_.send(message);
}

bool Session::exchange(const net::CNDKMessage& message, std::vector<net::CNDKMessage>* replies) {
    return connection_.send(message) && barrier(replies);
}

bool Session::exchange(const std::vector<net::CNDKMessage>& messages,
                       std::vector<net::CNDKMessage>* replies) {
    for (const auto& message : messages) {
        if (!connection_.send(message)) {
            return false;
        }
    }
    return barrier(replies);
}

bool Session::barrier(std::vector<net::CNDKMessage>* replies) {
    const std::string token = "tembrel-remote barrier " + std::to_string(++barrierCount_);
    net::CNDKMessage echo(net::kNdkIdEcho);
    echo.appendText(token);
    if (!connection_.send(echo)) {
        return false;
    }
    net::CNDKMessage message;
    while (connection_.receive(message)) {
        if (message.id() == net::kNdkIdEcho) {
            if (protocol::nameOf(message) == token) {
                return true;
            }
            continue;
        }
        tracker_.apply(message);
        if (joining_) {
            absorbJoinReply(message);
        }
        if (replies != nullptr) {
            replies->push_back(message);
        }
    }
    return false;
}

bool Session::awaitReply(protocol::Reply reply, net::CNDKMessage& out) {
    return awaitReply(reply, reply, out);
}

bool Session::awaitReply(protocol::Reply reply, protocol::Reply refusal, net::CNDKMessage& out) {
    while (connection_.receive(out)) {
        if (protocol::isReply(out, reply) || protocol::isReply(out, refusal)) {
            return true;
        }
        tracker_.apply(out);
    }
    return false;
}

BlockingConnection::Wait Session::poll(net::CNDKMessage& out, std::chrono::milliseconds wait) {
    const auto result = connection_.poll(out, wait);
    if (result == BlockingConnection::Wait::Message) {
        tracker_.apply(out);
    }
    return result;
}

void Session::leave() noexcept {
    connection_.leave();
}

} // namespace tembrel::client
