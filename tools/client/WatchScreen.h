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

private:
    SpectrumBands bands_{};
    std::optional<Clock::time_point> lastFrame_;
    bool shownOn_ = false;
    std::string lastEvent_;
};

// A full screen: cursor home, each line cleared to its end, the rest of the
// screen cleared.
[[nodiscard]] std::string renderWatchScreen(const std::string& server, const PlayerStatus& status,
                                            const std::optional<SpectrumBands>& spectrum,
                                            const std::string& lastEvent);
// One line per status broadcast when the output is not a terminal.
[[nodiscard]] std::string watchLine(const PlayerStatus& status,
                                    const std::optional<SpectrumBands>& spectrum);

} // namespace tembrel::client
