#pragma once

namespace tembrel::remote {

// The spectrum stream's rate state, shared by the stream, the DSP menu and the
// settings store.
struct SpectrumState {
    int spectrumOn = 0;
    int spectrumFps = 0;         // 0, 15, 30 or 60
    int spectrumPeriodMs = 1000; // 1000 until a rate is chosen, then 66, 33, 16
};

// The rate entries of the DSP menu; the numbers are the stored DspCode.
enum class SpectrumRate { Off = 1, Fps15 = 2, Fps30 = 3, Fps60 = 4 };

} // namespace tembrel::remote
