// The spectrum step, the rate table of the DSP menu and the spectrum timer.
#include "remote/SpectrumBroadcaster.h"

#include <array>

#include "protocol/Messages.h"
#include "remote/CpuUsageText.h"
#include "remote/SpectrumBands.h"

namespace tembrel::remote {

namespace {

struct RateEntry {
    SpectrumRate rate;
    int on;
    int fps;
    int periodMs; // 0: the period stays as it is
};

constexpr std::array<RateEntry, 4> kRates{{
    {SpectrumRate::Off, 0, 0, 0},
    {SpectrumRate::Fps15, 1, 15, 66},
    {SpectrumRate::Fps30, 1, 30, 33},
    {SpectrumRate::Fps60, 1, 60, 16},
}};

[[nodiscard]] const RateEntry* findRate(int dspCode) noexcept {
    for (const RateEntry& entry : kRates) {
        if (static_cast<int>(entry.rate) == dspCode) {
            return &entry;
        }
    }
    return nullptr;
}

void applyRate(const RateEntry& entry, SpectrumState& state) noexcept {
    state.spectrumOn = entry.on;
    state.spectrumFps = entry.fps;
    if (entry.periodMs != 0) {
        state.spectrumPeriodMs = entry.periodMs;
    }
}

} // namespace

SpectrumBroadcaster::SpectrumBroadcaster(playback::CSoundEngine& engine, UserMessenger& messenger,
                                         ServerView& view)
    // The period can be 16 ms; a coarse timer would drift by up to 5%.
    : engine_(engine), messenger_(messenger), view_(view),
      timer_(Qt::PreciseTimer, [this] { timerExpired(); }) {}

void SpectrumBroadcaster::serverStarted() {
    serverRunning_ = true;
    statusLineStale_ = true;
    armIfWanted();
}

void SpectrumBroadcaster::serverStopped() {
    serverRunning_ = false;
    timer_.stop();
}

void SpectrumBroadcaster::setUsersPresent(bool present) {
    usersPresent_ = present;
    armIfWanted();
}

void SpectrumBroadcaster::timerExpired() {
    net::CNDKMessage message;
    step(message);
}

void SpectrumBroadcaster::step(net::CNDKMessage& message) {
    timer_.stop();
    if (state_.spectrumOn == 1) {
        // Without a started sound library there is no analysis to read: the
        // bands keep their last values (zeros) and the stream goes on.
        float cpuUsage = 0.0f;
        if (engine_.spectrumAvailable()) {
            playback::Spectrum values{};
            if (engine_.library().readSpectrum(values)) {
                bandValues_ = computeBands(values);
            }
            cpuUsage = engine_.library().cpuUsage();
        }
        view_.statusLineChanged(formatCpuUsage(cpuUsage));
        statusLineStale_ = false;
        protocol::putReply(message, protocol::Reply::Spectrum, protocol::formatBands(bandValues_));
        messenger_.broadcast(message);
    }
    armIfWanted();
}

void SpectrumBroadcaster::armIfWanted() {
    // Steps are for the users, and for the status line while music plays (its
    // CPU usage changes) or has not shown the stream yet. With nobody
    // connected and nothing playing the timer stays stopped.
    const bool audience =
        usersPresent_ || statusLineStale_ || engine_.playState() == playback::PlayState::Playing;
    timer_.setUsersPresent(audience);
    if (serverRunning_ && state_.spectrumOn == 1) {
        timer_.startIfIdle(state_.spectrumPeriodMs);
    }
}

void SpectrumBroadcaster::setRate(SpectrumRate rate) {
    const RateEntry* entry = findRate(static_cast<int>(rate));
    if (entry == nullptr) {
        return;
    }
    applyRate(*entry, state_);
    statusLineStale_ = true;
    messenger_.broadcast(protocol::noticeMessage(entry->on == 1 ? protocol::Reply::StartSpectrum
                                                                : protocol::Reply::StopSpectrum));
    checkedDspCode_ = static_cast<int>(rate);
    view_.spectrumCheckChanged(checkedDspCode_);
    // A running timer keeps its period until its next step.
    armIfWanted();
}

void SpectrumBroadcaster::applyDspCode(int code) {
    const RateEntry* entry = findRate(code);
    if (entry == nullptr) {
        return;
    }
    applyRate(*entry, state_);
    statusLineStale_ = true;
    checkedDspCode_ = code;
    view_.spectrumCheckChanged(checkedDspCode_);
    armIfWanted();
}

int SpectrumBroadcaster::currentDspCode() const noexcept {
    for (const RateEntry& entry : kRates) {
        if (entry.fps == state_.spectrumFps) {
            return static_cast<int>(entry.rate);
        }
    }
    return static_cast<int>(SpectrumRate::Off);
}

} // namespace tembrel::remote
