// The status broadcast: current track, track number, play state, volume,
// playlist length and the times, re-arming the 1000 ms status timer.
#include <string>

#include "remote/CServerDlg.h"

namespace tembrel::remote {

namespace {

constexpr int kStatusPeriodMs = 1000;
// 100/255 in double precision: volume 0-255 to percent.
constexpr double kVolumePercentFactor = 0.3921568627450981;
constexpr std::string_view kNoElapsed = "-:--";

// "m:ss" with unpadded minutes.
[[nodiscard]] std::string formatElapsed(int seconds) {
    const int minutes = seconds / 60;
    const int rest = seconds - 60 * minutes;
    const std::string secondsText = std::to_string(rest);
    return std::to_string(minutes) + (secondsText.size() == 1 ? ":0" : ":") + secondsText;
}

} // namespace

void CServerDlg::pushStatus(net::CNDKMessage& message) {
    if (statusTimerHandle_ != 0) {
        killTimer(kStatusTimerId);
    }

    const auto send = [&](std::string_view name, std::string_view payload) {
        message.putText(0, name);
        message.putText(1, payload);
        sendToAllUsers(message);
    };

    const int count = playlist_.count();
    if (count > 0) {
        const playback::PlaylistEntry& entry = playlist_.entry(playlist_.current());
        send("^CurrentTrackInfo", entry.title + "\\" + entry.album + "\\" + entry.artist);
        send("^TrackNo", std::to_string(playlist_.current() + 1));
    } else {
        send("^TrackName", "Playlist is empty");
        send("^TrackNo", "0");
    }

    send("^Status", playback::playStateText(engine_.playState()));
    send("^Volume", std::to_string(static_cast<int>(engine_.volume() * kVolumePercentFactor)));
    send("^NumTracks", std::to_string(count));

    const playback::SoundLibrary& sound = engine_.library();
    const playback::StreamHandle stream = engine_.stream();
    if (engine_.playState() == playback::PlayState::Playing && sound.streamTime(stream) != 0) {
        const int seconds = sound.streamTime(stream) / 1000;
        send("^Elapsed", formatElapsed(seconds));
        send("^TimeS", std::to_string(seconds));
        send("^LengthS", std::to_string(sound.streamLengthMs(stream) / 1000));
    } else {
        send("^Elapsed", kNoElapsed);
    }

    armTimer(kStatusTimerId, kStatusPeriodMs);
}

} // namespace tembrel::remote
