// Applies the server's status replies to the client's picture of the player.
#include "PlayerStatus.h"

#include "Text.h"
#include "protocol/Messages.h"

namespace tembrel::client {

namespace {

using protocol::Reply;

int number(const net::CNDKMessage& message) {
    return static_cast<int>(leadingNumber(protocol::payloadOf(message)));
}

std::vector<std::string> fieldsOf(const net::CNDKMessage& message, Reply reply) {
    return protocol::splitFields(protocol::payloadOf(message),
                                 protocol::replySpec(reply).fields.size());
}

} // namespace

bool StatusTracker::apply(const net::CNDKMessage& message) {
    pushEnded_ = false;
    const auto reply = protocol::replyOf(message);
    if (!reply) {
        return false;
    }
    switch (*reply) {
    case Reply::CurrentTrackInfo: {
        const auto fields = fieldsOf(message, *reply);
        status_.current = TrackInfo{fields[0], fields[1], fields[2]};
        break;
    }
    case Reply::TrackName:
        status_.current.reset();
        break;
    case Reply::TrackNo:
        status_.trackNumber = number(message);
        break;
    case Reply::Status:
        status_.state = protocol::payloadOf(message);
        break;
    case Reply::Volume:
        status_.volumePercent = number(message);
        break;
    case Reply::NumTracks:
        status_.playlistLength = number(message);
        break;
    case Reply::Elapsed:
        status_.elapsed = protocol::payloadOf(message);
        status_.positionSeconds.reset();
        status_.lengthSeconds.reset();
        // Without a position the broadcast ends here; with one, the position
        // and the length follow.
        pushEnded_ = status_.elapsed == protocol::kNoElapsedText;
        seen_ = seen_ || pushEnded_;
        break;
    case Reply::TimeS:
        status_.positionSeconds = number(message);
        break;
    case Reply::LengthS:
        status_.lengthSeconds = number(message);
        pushEnded_ = true;
        seen_ = true;
        break;
    case Reply::ShuffleOn:
    case Reply::ShuffleOff:
        status_.shuffle = *reply == Reply::ShuffleOn;
        break;
    case Reply::RepeatOn:
    case Reply::RepeatOff:
        status_.repeat = *reply == Reply::RepeatOn;
        break;
    default:
        return false;
    }
    return true;
}

} // namespace tembrel::client
