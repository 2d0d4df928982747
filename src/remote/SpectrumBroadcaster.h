// The spectrum stream: at the chosen rate (timer 2312) the 16 bar heights of
// the music go to every user in ^Spectrum, and the status line shows the
// sound library's CPU usage. The rate comes from the DSP menu or the stored
// settings.
#pragma once

#include "net/CNDKMessage.h"
#include "playback/CSoundEngine.h"
#include "protocol/SpectrumPayload.h"
#include "remote/PresenceTimer.h"
#include "remote/ServerView.h"
#include "remote/SpectrumState.h"
#include "remote/UserMessenger.h"

namespace tembrel::remote {

class SpectrumBroadcaster {
public:
    static constexpr int kTimerId = 2312;

    SpectrumBroadcaster(playback::CSoundEngine& engine, UserMessenger& messenger, ServerView& view);
    SpectrumBroadcaster(const SpectrumBroadcaster&) = delete;
    SpectrumBroadcaster& operator=(const SpectrumBroadcaster&) = delete;

    // The server started or stopped: the stream runs only in between.
    void serverStarted();
    void serverStopped();
    // The steps run only while someone can receive them: with nobody
    // connected, or with the spectrum off, the timer stays stopped.
    void setUsersPresent(bool present);

    // One timer step: while the spectrum is on, computes the bands, shows the
    // CPU usage and sends ^Spectrum in `message`; then re-arms the timer
    // with the current period.
    void step(net::CNDKMessage& message);
    void timerExpired();

    // A DSP menu entry: changes the rate, tells every user ("^StartSpectrum"
    // or "^StopSpectrum") and moves the check mark.
    void setRate(SpectrumRate rate);
    // A stored DspCode (1-4; anything else changes nothing): the rate and the
    // check mark, without notices.
    void applyDspCode(int code);
    [[nodiscard]] int currentDspCode() const noexcept;
    [[nodiscard]] const SpectrumState& state() const noexcept { return state_; }

private:
    void armIfWanted();

    playback::CSoundEngine& engine_;
    UserMessenger& messenger_;
    ServerView& view_;
    PresenceTimer timer_;
    SpectrumState state_{};
    int checkedDspCode_ = 0;
    // The last computed bar heights, kept between steps.
    protocol::BandValues bandValues_{};
    bool serverRunning_ = false;
    bool usersPresent_ = false;
    // The status line has not shown a step since the stream was (re)started
    // or its rate changed; one step runs for it even with nobody connected.
    bool statusLineStale_ = true;
};

} // namespace tembrel::remote
