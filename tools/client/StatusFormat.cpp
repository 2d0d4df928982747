// Formats the player status.
#include "StatusFormat.h"

#include "Text.h"

namespace tembrel::client {

namespace {

std::string onOff(const std::optional<bool>& flag) {
    if (!flag) {
        return "?";
    }
    return *flag ? "on" : "off";
}

Json optionalFlag(const std::optional<bool>& flag) {
    return flag ? Json(*flag) : Json();
}

std::string trackText(const PlayerStatus& status) {
    if (!status.current) {
        return "(playlist is empty)";
    }
    const TrackInfo& track = *status.current;
    std::string text = track.title;
    if (!track.artist.empty()) {
        text += " - " + track.artist;
    }
    if (!track.album.empty()) {
        text += " (" + track.album + ")";
    }
    return text;
}

} // namespace

std::string positionText(const PlayerStatus& status) {
    if (status.lengthSeconds) {
        return status.elapsed + " / " + formatMinutes(*status.lengthSeconds);
    }
    return status.elapsed;
}

std::string statusText(const PlayerStatus& status) {
    std::string text;
    text += "Track:    " + trackText(status);
    if (status.current) {
        text += "  [" + std::to_string(status.trackNumber) + "/" +
                std::to_string(status.playlistLength) + "]";
    }
    text += "\nState:    " + status.state + "  " + positionText(status);
    text += "\nVolume:   " + std::to_string(status.volumePercent) + "%";
    text += "\nShuffle:  " + onOff(status.shuffle) + "   Repeat: " + onOff(status.repeat);
    text += "\nPlaylist: " + std::to_string(status.playlistLength) +
            (status.playlistLength == 1 ? " entry" : " entries");
    return text;
}

std::string statusLine(const PlayerStatus& status) {
    std::string line = status.state + " " + positionText(status);
    if (status.current) {
        line += " [" + std::to_string(status.trackNumber) + "/" +
                std::to_string(status.playlistLength) + "] " + trackText(status);
    } else {
        line += " " + trackText(status);
    }
    line += " | vol " + std::to_string(status.volumePercent) + "%";
    return line;
}

Json statusJson(const PlayerStatus& status) {
    Json track;
    if (status.current) {
        track = Json::object()
                    .set("title", status.current->title)
                    .set("album", status.current->album)
                    .set("artist", status.current->artist);
    }
    return Json::object()
        .set("track", std::move(track))
        .set("number", status.trackNumber)
        .set("state", status.state)
        .set("volume", status.volumePercent)
        .set("elapsed", status.elapsed)
        .set("position", status.positionSeconds ? Json(*status.positionSeconds) : Json())
        .set("length", status.lengthSeconds ? Json(*status.lengthSeconds) : Json())
        .set("shuffle", optionalFlag(status.shuffle))
        .set("repeat", optionalFlag(status.repeat))
        .set("playlistLength", status.playlistLength);
}

} // namespace tembrel::client
