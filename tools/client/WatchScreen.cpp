// Drawing and state of the watch command's live view.
#include "WatchScreen.h"

#include <algorithm>
#include <vector>

#include "StatusFormat.h"
#include "protocol/Messages.h"
#include "protocol/SpectrumPayload.h"

namespace tembrel::client {

namespace {

constexpr int kSpectrumRows = 8;
constexpr int kBandWidth = 2;
constexpr int kIndent = 2;
// Lines of text around the spectrum, and the blank lines between groups.
constexpr int kTextLines = 7;
constexpr int kBlankLines = 4;
// From this width on the switches line spells everything out.
constexpr int kWideColumns = 64;
constexpr std::string_view kKeysWide =
    "  space pause/resume   n/p next/previous   +/- volume   q quit";
constexpr std::string_view kKeysNarrow = "  space pause  n/p skip  +/- vol  q quit";
constexpr std::string_view kHome = "\x1b[H";
constexpr std::string_view kClearToLineEnd = "\x1b[K";
constexpr std::string_view kClearBelow = "\x1b[J";
constexpr std::string_view kBold = "\x1b[1m";
constexpr std::string_view kPlain = "\x1b[0m";
constexpr std::string_view kSpectrumOff = "spectrum off";
// A line under the bars, so silence still shows where they stand.
std::string baseline(int bandWidth) {
    std::string line;
    for (int i = 0; i < protocol::kBandCount * (bandWidth + 1) - 1; ++i) {
        line += "─";
    }
    return line;
}

// Cuts a line to `columns` characters, counting a UTF-8 sequence as one and
// leaving escape sequences (bold, plain) whole.
std::string cutToColumns(const std::string& line, int columns) {
    std::string result;
    int shown = 0;
    for (std::size_t i = 0; i < line.size();) {
        if (line[i] == '\x1b') {
            const auto end = line.find('m', i);
            const std::size_t length = end == std::string::npos ? line.size() - i : end - i + 1;
            result += line.substr(i, length);
            i += length;
            continue;
        }
        std::size_t length = 1;
        while (i + length < line.size() &&
               (static_cast<unsigned char>(line[i + length]) & 0xC0U) == 0x80U) {
            ++length;
        }
        if (shown < columns) {
            result += line.substr(i, length);
            ++shown;
        }
        i += length;
    }
    return result;
}

void addLine(std::string& screen, std::string_view line, bool lineFeed = true) {
    screen += line;
    screen += kClearToLineEnd;
    if (lineFeed) {
        screen += '\n';
    }
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
                              const std::string& lastEvent, ScreenSize size) {
    const int columns = std::max(size.columns, 1);
    const int rows = std::max(size.rows, 1);
    const bool wide = columns >= kWideColumns;
    const int bands = static_cast<int>(protocol::kBandCount);
    const int bandWidth = columns >= kIndent + bands * (kBandWidth + 1) ? kBandWidth : 1;
    // The text lines (title, two track lines, state, switches, event, keys)
    // and the bars' baseline always show; the spectrum takes what is left,
    // and the four blank lines only fit on a tall screen.
    const int blanks = rows >= kTextLines + kBlankLines + kSpectrumRows + 1 ? kBlankLines : 0;
    const int barRows = std::clamp(rows - kTextLines - blanks - 1, 1, kSpectrumRows);

    std::vector<std::string> lines;
    const auto blank = [&] {
        if (blanks > 0) {
            lines.emplace_back();
        }
    };
    lines.push_back(std::string(kBold) + "Tembrel Server " + server + std::string(kPlain));
    blank();
    if (status.current) {
        lines.push_back("  " + status.current->title + "   [" + std::to_string(status.trackNumber) +
                        "/" + std::to_string(status.playlistLength) + "]");
        lines.push_back("  " + status.current->artist + " - " + status.current->album);
    } else {
        lines.emplace_back("  Playlist is empty");
        lines.emplace_back();
    }
    blank();
    lines.push_back("  " + status.state + "   " + positionText(status));
    lines.push_back(wide ? "  Volume " + std::to_string(status.volumePercent) + "%   Shuffle " +
                               onOff(status.shuffle) + "   Repeat " + onOff(status.repeat) +
                               "   Playlist " + std::to_string(status.playlistLength)
                         : "  Vol " + std::to_string(status.volumePercent) + "%  Shuffle " +
                               onOff(status.shuffle) + "  Repeat " + onOff(status.repeat));
    blank();
    if (spectrum) {
        for (const auto& row : spectrumRows(*spectrum, barRows, bandWidth)) {
            lines.push_back("  " + row);
        }
        lines.push_back("  " + baseline(bandWidth));
    } else {
        for (int row = 0; row <= barRows; ++row) {
            lines.push_back(row == barRows / 2 ? "  " + std::string(kSpectrumOff) : "");
        }
    }
    blank();
    lines.push_back("  " + lastEvent);
    lines.emplace_back(wide ? kKeysWide : kKeysNarrow);

    std::string screen(kHome);
    const auto shown = std::min(lines.size(), static_cast<std::size_t>(rows));
    for (std::size_t i = 0; i < shown; ++i) {
        // The last row gets no line feed, so the screen does not scroll.
        addLine(screen, cutToColumns(lines[i], columns), i + 1 < shown);
    }
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
