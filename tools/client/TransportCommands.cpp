// Playback control: play, pause, stop, next, prev, seek, track, vol, shuffle,
// repeat. Each prints the status the server broadcasts after it.
#include <vector>

#include "Commands.h"
#include "Replies.h"
#include "SeekPlan.h"
#include "StatusFormat.h"
#include "Text.h"

namespace tembrel::client {

namespace {

constexpr std::string_view kPlaying = "Playing";

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

int simpleCommand(Context& context, std::string_view command) {
    if (auto rc = context.expectArguments(0, 0)) {
        return *rc;
    }
    return sendAndShow(context, {commandMessage(command)});
}

} // namespace

int runPlay(Context& context) {
    return simpleCommand(context, "Play");
}
int runPause(Context& context) {
    return simpleCommand(context, "Pause");
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
    return simpleCommand(context, "Shuffle");
}
int runRepeat(Context& context) {
    return simpleCommand(context, "Repeat");
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
    if (plan->command == "SetTime" && context.session().status().state != kPlaying) {
        return context.output().fail(ExitCode::Failed,
                                     "nothing is playing: a seek to a percentage needs a "
                                     "playing track");
    }
    const std::vector<net::CNDKMessage> steps(static_cast<std::size_t>(plan->repeat),
                                              commandMessage(plan->command, plan->argument));
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
    return sendAndShow(context, {commandMessage("PlayTrack", std::to_string(*number))});
}

int runVolume(Context& context) {
    if (auto rc = context.expectArguments(1, 1)) {
        return *rc;
    }
    const std::string& how = context.args()[0];
    std::string_view command;
    if (how == "up") {
        command = "Up";
    } else if (how == "down") {
        command = "Down";
    } else if (how == "mute") {
        command = "Mute";
    } else {
        return context.usage("vol needs up, down or mute, not '" + how + "'");
    }
    return sendAndShow(context, {commandMessage(command)});
}

} // namespace tembrel::client
