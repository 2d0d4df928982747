// The spectrum stream: the timer step that broadcasts the band values, and
// the rate chosen from the DSP menu or the stored settings.
#include <array>

#include "remote/CServerDlg.h"
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

void CServerDlg::pushSpectrum(net::CNDKMessage& message) {
    if (spectrumTimerHandle_ != 0) {
        killTimer(kSpectrumTimerId);
    }
    if (spectrum_.spectrumOn == 1) {
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
        message.putText(0, "^Spectrum");
        message.putText(1, formatBands(bandValues_));
        sendToAllUsers(message);
    }
    armTimer(kSpectrumTimerId, spectrum_.spectrumPeriodMs);
}

void CServerDlg::setSpectrumRate(SpectrumRate rate) {
    const RateEntry* entry = findRate(static_cast<int>(rate));
    if (entry == nullptr) {
        return;
    }
    applyRate(*entry, spectrum_);
    net::CNDKMessage notice;
    notice.appendText(entry->on == 1 ? "^StartSpectrum" : "^StopSpectrum");
    sendToAllUsers(notice);
    checkedDspCode_ = static_cast<int>(rate);
    view_.spectrumCheckChanged(checkedDspCode_);
}

void CServerDlg::applyDspCode(int code) {
    const RateEntry* entry = findRate(code);
    if (entry == nullptr) {
        return;
    }
    applyRate(*entry, spectrum_);
    checkedDspCode_ = code;
    view_.spectrumCheckChanged(checkedDspCode_);
}

int CServerDlg::currentDspCode() const noexcept {
    for (const RateEntry& entry : kRates) {
        if (entry.fps == spectrum_.spectrumFps) {
            return static_cast<int>(entry.rate);
        }
    }
    return static_cast<int>(SpectrumRate::Off);
}

} // namespace tembrel::remote
