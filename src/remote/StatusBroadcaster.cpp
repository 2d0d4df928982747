// The status replies in their order of sending, and the status timer.
#include "remote/StatusBroadcaster.h"

#include <string>

#include "protocol/Messages.h"
#include "protocol/ProtocolConstants.h"

namespace tembrel::remote {

namespace {

using protocol::Reply;

// "m:ss" with unpadded minutes.
[[nodiscard]] std::string formatElapsed(int seconds) {
    const int minutes = seconds / 60;
    const int rest = seconds - 60 * minutes;
    const std::string secondsText = std::to_string(rest);
    return std::to_string(minutes) + (secondsText.size() == 1 ? ":0" : ":") + secondsText;
}

} // namespace

StatusBroadcaster::StatusBroadcaster(const playback::CPlaylist& playlist,
                                     const playback::CSoundEngine& engine, UserMessenger& messenger)
    : playlist_(playlist), engine_(engine), messenger_(messenger),
      timer_(Qt::CoarseTimer, [this] { timerExpired(); }) {}

void StatusBroadcaster::timerExpired() {
    net::CNDKMessage message;
    push(message);
}

void StatusBroadcaster::push(net::CNDKMessage& message) {
    timer_.stop();
    const auto send = [&](Reply reply, std::string_view payload) {
        protocol::putReply(message, reply, payload);
        messenger_.broadcast(message);
    };

    const int count = playlist_.count();
    if (count > 0) {
        const playback::PlaylistEntry& entry = playlist_.entry(playlist_.current());
        const std::string_view fields[] = {entry.title, entry.album, entry.artist};
        send(Reply::CurrentTrackInfo, protocol::joinFields(fields));
        send(Reply::TrackNo, std::to_string(playlist_.current() + 1));
    } else {
        send(Reply::TrackName, protocol::kEmptyPlaylistText);
        send(Reply::TrackNo, protocol::kNoTrackNumberText);
    }

    send(Reply::Status, playback::playStateText(engine_.playState()));
    send(Reply::Volume,
         std::to_string(static_cast<int>(engine_.volume() * protocol::kVolumePercentFactor)));
    send(Reply::NumTracks, std::to_string(count));

    const playback::SoundLibrary& sound = engine_.library();
    const playback::StreamHandle stream = engine_.stream();
    if (engine_.playState() == playback::PlayState::Playing && sound.streamTime(stream) != 0) {
        const int seconds = sound.streamTime(stream) / 1000;
        send(Reply::Elapsed, formatElapsed(seconds));
        send(Reply::TimeS, std::to_string(seconds));
        send(Reply::LengthS, std::to_string(sound.streamLengthMs(stream) / 1000));
    } else {
        send(Reply::Elapsed, protocol::kNoElapsedText);
    }

    started_ = true;
    armIfWanted();
}

void StatusBroadcaster::setUsersPresent(bool present) {
    timer_.setUsersPresent(present);
    armIfWanted();
}

void StatusBroadcaster::armIfWanted() {
    if (started_) {
        timer_.startIfIdle(kPeriodMs);
    }
}

} // namespace tembrel::remote
