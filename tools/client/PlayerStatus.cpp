// Applies the server's status replies to the client's picture of the player.
#include "PlayerStatus.h"

#include "Replies.h"
#include "Text.h"

namespace tembrel::client {

namespace {

constexpr std::string_view kNoPosition = "-:--";

int number(const net::CNDKMessage& message) {
    return static_cast<int>(leadingNumber(replyText(message)));
}

} // namespace

bool StatusTracker::apply(const net::CNDKMessage& message) {
    const std::string name = replyName(message);
    pushEnded_ = false;
    if (name == "^CurrentTrackInfo") {
        const auto fields = splitFields(replyText(message), 3);
        status_.current = TrackInfo{fields[0], fields[1], fields[2]};
    } else if (name == "^TrackName") {
        status_.current.reset();
    } else if (name == "^TrackNo") {
        status_.trackNumber = number(message);
    } else if (name == "^Status") {
        status_.state = replyText(message);
    } else if (name == "^Volume") {
        status_.volumePercent = number(message);
    } else if (name == "^NumTracks") {
        status_.playlistLength = number(message);
    } else if (name == "^Elapsed") {
        status_.elapsed = replyText(message);
        status_.positionSeconds.reset();
        status_.lengthSeconds.reset();
        // Without a position the broadcast ends here; with one, "^TimeS"
        // and "^LengthS" follow.
        pushEnded_ = status_.elapsed == kNoPosition;
        seen_ = seen_ || pushEnded_;
    } else if (name == "^TimeS") {
        status_.positionSeconds = number(message);
    } else if (name == "^LengthS") {
        status_.lengthSeconds = number(message);
        pushEnded_ = true;
        seen_ = true;
    } else if (name == "^ShuffleOn" || name == "^ShuffleOff") {
        status_.shuffle = name == "^ShuffleOn";
    } else if (name == "^RepeatOn" || name == "^RepeatOff") {
        status_.repeat = name == "^RepeatOn";
    } else {
        return false;
    }
    return true;
}

} // namespace tembrel::client
