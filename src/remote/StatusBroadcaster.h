// The status broadcast: the current track, its number, the play state, the
// volume, the playlist length and the times, sent to every user after every
// command, at each join, and 1000 ms after the latest push (timer 2311).
#pragma once

#include "net/CNDKMessage.h"
#include "playback/CPlaylist.h"
#include "playback/CSoundEngine.h"
#include "remote/PresenceTimer.h"
#include "remote/UserMessenger.h"

namespace tembrel::remote {

class StatusBroadcaster {
public:
    static constexpr int kTimerId = 2311;
    static constexpr int kPeriodMs = 1000;

    StatusBroadcaster(const playback::CPlaylist& playlist, const playback::CSoundEngine& engine,
                      UserMessenger& messenger);
    StatusBroadcaster(const StatusBroadcaster&) = delete;
    StatusBroadcaster& operator=(const StatusBroadcaster&) = delete;

    // Builds every status reply in `message` (overwriting values 0 and 1) and
    // sends each to all users, then restarts the 1000 ms period.
    void push(net::CNDKMessage& message);
    // The timer ran out: a push in a message built from scratch.
    void timerExpired();

    // The periodic push only runs while someone can receive it: with nobody
    // connected the timer is stopped, and it resumes when a user connects
    // (once a first push has started it).
    void setUsersPresent(bool present);

private:
    void armIfWanted();

    const playback::CPlaylist& playlist_;
    const playback::CSoundEngine& engine_;
    UserMessenger& messenger_;
    PresenceTimer timer_;
    // The first push starts the periodic push; before it none happens.
    bool started_ = false;
};

} // namespace tembrel::remote
