// The live view of the watch command: what it shows (status, spectrum,
// the latest user event) and how a frame is drawn.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "PlayerStatus.h"
#include "Spectrum.h"
#include "net/CNDKMessage.h"

namespace tembrel::client {

// A spectrum older than this counts as off: the server sends nothing at all
// while its spectrum is off.
inline constexpr std::chrono::milliseconds kSpectrumStale{1500};

class WatchModel {
public:
    using Clock = std::chrono::steady_clock;

    // Takes in one message that is not a status reply (those go to the
    // session's StatusTracker). True when the view changed.
    bool apply(const net::CNDKMessage& message, Clock::time_point now);
    // The spectrum to show at `now`, or nothing when it is off.
    [[nodiscard]] std::optional<SpectrumBands> spectrum(Clock::time_point now) const;
    // True when the spectrum went stale since the last call (the view changes).
    bool spectrumExpired(Clock::time_point now);
    [[nodiscard]] const std::string& lastEvent() const noexcept { return lastEvent_; }
    // Shows a line of the client's own (a lost or regained connection) where
    // the latest event stands.
    void note(std::string line) { lastEvent_ = std::move(line); }

private:
    SpectrumBands bands_{};
    std::optional<Clock::time_point> lastFrame_;
    bool shownOn_ = false;
    std::string lastEvent_;
};

// The terminal's size in character cells.
struct ScreenSize {
    int columns = 80;
    int rows = 24;
};
// The smallest screen the layout is made for; smaller ones get it cut.
inline constexpr ScreenSize kSmallestScreen{40, 14};

// A full screen: cursor home, each line cleared to its end, the rest of the
// screen cleared. On a small screen the blank lines go first, then spectrum
// rows; bars and lines narrow to the width, and no line is longer than it.
[[nodiscard]] std::string renderWatchScreen(const std::string& server, const PlayerStatus& status,
                                            const std::optional<SpectrumBands>& spectrum,
                                            const std::string& lastEvent,
                                            ScreenSize size = ScreenSize{});
// One line per status broadcast when the output is not a terminal.
[[nodiscard]] std::string watchLine(const PlayerStatus& status,
                                    const std::optional<SpectrumBands>& spectrum);

} // namespace tembrel::client
