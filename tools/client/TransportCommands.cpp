// Playback control: play, pause, stop, next, prev, seek, track, vol, shuffle,
// repeat. Each prints the status the server broadcasts after it.
#include <vector>

#include "Commands.h"
#include "SeekPlan.h"
#include "StatusFormat.h"
#include "Text.h"
#include "protocol/Messages.h"

namespace tembrel::client {

namespace {

// Sends the commands and prints the status that results.
int sendAndShow(Context& context, const std::vector<net::CNDKMessage>& commands) {
    if (auto rc = context.join()) {
        return *rc;
    }
    if (!context.session().exchange(commands)) {
        return context.failSession();
    }
    return context.showStatus();
}

int simpleCommand(Context& context, protocol::Command command) {
    if (auto rc = context.expectArguments(0, 0)) {
        return *rc;
    }
    return sendAndShow(context, {protocol::commandMessage(command)});
}

} // namespace

int runPlay(Context& context) {
    return simpleCommand(context, protocol::Command::Play);
}
int runPause(Context& context) {
    return simpleCommand(context, protocol::Command::Pause);
}
int runStop(Context& context) {
    return simpleCommand(context, protocol::Command::Stop);
}
int runNext(Context& context) {
    return simpleCommand(context, protocol::Command::NextTrack);
}
int runPrev(Context& context) {
    return simpleCommand(context, protocol::Command::PreviousTrack);
}
int runShuffle(Context& context) {
    return simpleCommand(context, protocol::Command::Shuffle);
}
int runRepeat(Context& context) {
    return simpleCommand(context, protocol::Command::Repeat);
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
    if (plan->command == protocol::Command::SetTime &&
        context.session().status().state != protocol::kPlayingText) {
        return context.output().fail(ExitCode::Failed,
                                     "nothing is playing: a seek to a percentage needs a "
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
    return sendAndShow(
        context, {protocol::commandMessage(protocol::Command::PlayTrack, std::to_string(*number))});
}

int runVolume(Context& context) {
    if (auto rc = context.expectArguments(1, 1)) {
        return *rc;
    }
    const std::string& how = context.args()[0];
    protocol::Command command = protocol::Command::Mute;
    if (how == "up") {
        command = protocol::Command::VolumeUp;
    } else if (how == "down") {
        command = protocol::Command::VolumeDown;
    } else if (how != "mute") {
        return context.usage("vol needs up, down or mute, not '" + how + "'");
    }
    return sendAndShow(context, {protocol::commandMessage(command)});
}

} // namespace tembrel::client
