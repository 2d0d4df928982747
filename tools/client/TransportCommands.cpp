// Playback control: play, pause, toggle, stop, next, prev, seek, track, vol,
// shuffle, repeat. Each prints the status the server broadcasts after it.
#include <optional>
#include <vector>

#include "Commands.h"
#include "SeekPlan.h"
#include "StatusFormat.h"
#include "Text.h"
#include "VolumePlan.h"
#include "protocol/Messages.h"

namespace tembrel::client {

namespace {

constexpr std::string_view kPlaying = "Playing";
constexpr std::string_view kPaused = "Paused";

// Sends the commands and prints the status that results; with nothing to
// send (the state is already the one asked for) it prints the status only.
int sendAndShow(Context& context, const std::vector<net::CNDKMessage>& commands) {
    if (auto rc = context.join()) {
        return *rc;
    }
    if (!commands.empty() && !context.session().exchange(commands)) {
        return context.failSession();
    }
    return context.showStatus();
}

int simpleCommand(Context& context, std::string_view command) {
    if (auto rc = context.expectArguments(0, 0)) {
        return *rc;
    }
    return sendAndShow(context, {protocol::commandTextMessage(command)});
}

// The server's "Pause" toggles and its "Play" restarts the current entry from
// its beginning, so each state-setting command looks at the state first.
enum class Transport { Play, Pause, Toggle };

int transport(Context& context, Transport wanted) {
    if (auto rc = context.expectArguments(0, 0)) {
        return *rc;
    }
    if (auto rc = context.join()) {
        return *rc;
    }
    const std::string& state = context.session().status().state;
    std::vector<net::CNDKMessage> commands;
    const bool playing = state == kPlaying;
    const bool paused = state == kPaused;
    switch (wanted) {
    case Transport::Play:
        if (paused) {
            commands.push_back(protocol::commandTextMessage("Pause"));
        } else if (!playing) {
            commands.push_back(protocol::commandTextMessage("Play"));
        }
        break;
    case Transport::Pause:
        if (playing) {
            commands.push_back(protocol::commandTextMessage("Pause"));
        }
        break;
    case Transport::Toggle:
        commands.push_back(protocol::commandTextMessage(playing || paused ? "Pause" : "Play"));
        break;
    }
    return sendAndShow(context, commands);
}

// shuffle and repeat: "on" and "off" set the switch, nothing switches it over.

int switchCommand(Context& context, std::string_view command, bool shuffle) {
    if (auto rc = context.expectArguments(0, 1)) {
        return *rc;
    }
    std::optional<bool> wanted;
    if (!context.args().empty()) {
        const std::string& how = context.args()[0];
        if (how != "on" && how != "off") {
            return context.usage(std::string(shuffle ? "shuffle" : "repeat") +
                                 " takes on or off, not '" + how + "'");
        }
        wanted = how == "on";
    }
    if (auto rc = context.join()) {
        return *rc;
    }
    const PlayerStatus& status = context.session().status();
    const std::optional<bool> now = shuffle ? status.shuffle : status.repeat;
    if (wanted && now == wanted) {
        return sendAndShow(context, {});
    }
    return sendAndShow(context, {protocol::commandTextMessage(command)});
}

} // namespace

int runPlay(Context& context) {
    return transport(context, Transport::Play);
}
int runPause(Context& context) {
    return transport(context, Transport::Pause);
}
int runToggle(Context& context) {
    return transport(context, Transport::Toggle);
}
int runStop(Context& context) {
    return simpleCommand(context, "Stop");
}
int runNext(Context& context) {
    return simpleCommand(context, "End");
}
int runPrev(Context& context) {
    return simpleCommand(context, "Start");
}
int runShuffle(Context& context) {
    return switchCommand(context, "Shuffle", true);
}
int runRepeat(Context& context) {
    return switchCommand(context, "Repeat", false);
}

int runSeek(Context& context) {
    if (auto rc = context.expectArguments(1, 1)) {
        return *rc;
    }
    const auto plan = planSeek(context.args()[0]);
    if (!plan) {
        return context.usage("seek needs +S or -S (seconds, at most " +
                             std::to_string(kMaxRelativeSeekSeconds) +
                             ") or a percentage from 0 to 100");
    }
    if (auto rc = context.join()) {
        return *rc;
    }
    // Every form of seek needs a playing track, so each one fails alike.
    if (context.session().status().state != kPlaying) {
        return context.output().fail(ExitCode::Failed, "nothing is playing: seek needs a "
                                                       "playing track");
    }
    const std::vector<net::CNDKMessage> steps(
        static_cast<std::size_t>(plan->repeat),
        protocol::commandMessage(plan->command, plan->argument));
    return sendAndShow(context, steps);
}

int runTrack(Context& context) {
    if (auto rc = context.expectArguments(1, 1)) {
        return *rc;
    }
    const auto number = parseUnsigned(context.args()[0]);
    if (!number || *number < 1) {
        return context.usage("track needs a playlist number from 1 up");
    }
    if (auto rc = context.joinWithPlaylistEntry(*number)) {
        return *rc;
    }
    return sendAndShow(context,
                       {protocol::commandTextMessage("PlayTrack", std::to_string(*number))});
}

int runVolume(Context& context) {
    if (auto rc = context.expectArguments(1, 1)) {
        return *rc;
    }
    const std::string& how = context.args()[0];
    const auto request = parseVolumeRequest(how);
    if (!request) {
        return context.usage("vol needs N (0 to 100), +N, -N, up, down or mute, not '" + how + "'");
    }
    if (auto rc = context.join()) {
        return *rc;
    }
    const VolumePlan plan = planVolume(context.session().status().volumePercent, *request);
    const std::vector<net::CNDKMessage> steps(static_cast<std::size_t>(plan.repeat),
                                              protocol::commandTextMessage(plan.command));
    return sendAndShow(context, steps);
}

} // namespace tembrel::client
