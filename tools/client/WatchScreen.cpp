// Drawing and state of the watch command's live view.
#include "WatchScreen.h"

#include "StatusFormat.h"
#include "protocol/Messages.h"
#include "protocol/SpectrumPayload.h"

namespace tembrel::client {

namespace {

constexpr int kSpectrumRows = 8;
constexpr int kBandWidth = 2;
constexpr std::string_view kHome = "\x1b[H";
constexpr std::string_view kClearToLineEnd = "\x1b[K";
constexpr std::string_view kClearBelow = "\x1b[J";
constexpr std::string_view kBold = "\x1b[1m";
constexpr std::string_view kPlain = "\x1b[0m";
constexpr std::string_view kSpectrumOff = "spectrum off";
// A line under the bars, so silence still shows where they stand.
const std::string kBaseline = [] {
    std::string line;
    for (int i = 0; i < protocol::kBandCount * (kBandWidth + 1) - 1; ++i) {
        line += "─";
    }
    return line;
}();

void addLine(std::string& screen, std::string_view line) {
    screen += line;
    screen += kClearToLineEnd;
    screen += '\n';
}

std::string onOff(const std::optional<bool>& flag) {
    return !flag ? "?" : *flag ? "on" : "off";
}

} // namespace

bool WatchModel::apply(const net::CNDKMessage& message, Clock::time_point now) {
    const std::string name = protocol::nameOf(message);
    const auto reply = protocol::findReply(name);
    if (reply == protocol::Reply::Spectrum) {
        const auto bands = protocol::parseBands(protocol::payloadOf(message));
        if (!bands) {
            return false;
        }
        bands_ = *bands;
        lastFrame_ = now;
        shownOn_ = true;
        return true;
    }
    if (reply == protocol::Reply::StopSpectrum) {
        lastFrame_.reset();
        shownOn_ = false;
        return true;
    }
    // Another user's join carries the name itself in value 0; so does a leave.
    if (message.id() == protocol::kIdJoin && !name.empty() && name[0] != protocol::kReplyPrefix) {
        lastEvent_ = name + " joined";
        return true;
    }
    if (message.id() == protocol::kIdLeave) {
        lastEvent_ = (name.empty() ? std::string("a user") : name) + " left";
        return true;
    }
    return false;
}

std::optional<SpectrumBands> WatchModel::spectrum(Clock::time_point now) const {
    if (!lastFrame_ || now - *lastFrame_ > kSpectrumStale) {
        return std::nullopt;
    }
    return bands_;
}

bool WatchModel::spectrumExpired(Clock::time_point now) {
    if (shownOn_ && !spectrum(now)) {
        shownOn_ = false;
        return true;
    }
    return false;
}

std::string renderWatchScreen(const std::string& server, const PlayerStatus& status,
                              const std::optional<SpectrumBands>& spectrum,
                              const std::string& lastEvent) {
    std::string screen(kHome);
    addLine(screen, std::string(kBold) + "Tembrel Server " + server + std::string(kPlain));
    addLine(screen, "");
    if (status.current) {
        addLine(screen, "  " + status.current->title + "   [" + std::to_string(status.trackNumber) +
                            "/" + std::to_string(status.playlistLength) + "]");
        addLine(screen, "  " + status.current->artist + " - " + status.current->album);
    } else {
        addLine(screen, "  " + std::string(protocol::kEmptyPlaylistText));
        addLine(screen, "");
    }
    addLine(screen, "");
    addLine(screen, "  " + status.state + "   " + positionText(status));
    addLine(screen, "  Volume " + std::to_string(status.volumePercent) + "%   Shuffle " +
                        onOff(status.shuffle) + "   Repeat " + onOff(status.repeat) +
                        "   Playlist " + std::to_string(status.playlistLength));
    addLine(screen, "");
    if (spectrum) {
        for (const auto& row : spectrumRows(*spectrum, kSpectrumRows, kBandWidth)) {
            addLine(screen, "  " + row);
        }
        addLine(screen, "  " + kBaseline);
    } else {
        for (int row = 0; row <= kSpectrumRows; ++row) {
            addLine(screen, row == kSpectrumRows / 2 ? "  " + std::string(kSpectrumOff) : "");
        }
    }
    addLine(screen, "");
    addLine(screen, "  " + lastEvent);
    addLine(screen, "  Ctrl-C to quit");
    screen += kClearBelow;
    return screen;
}

std::string watchLine(const PlayerStatus& status, const std::optional<SpectrumBands>& spectrum) {
    std::string line = statusLine(status) + " | ";
    if (spectrum) {
        for (const auto& row : spectrumRows(*spectrum, 1, 1)) {
            line += row;
        }
    } else {
        line += kSpectrumOff;
    }
    return line;
}

} // namespace tembrel::client
