// Runs one client invocation: help and version, or one command against a
// joined session that is left cleanly at the end.
#include <iostream>

#include "Commands.h"
#include "StatusFormat.h"

namespace tembrel::client {

std::optional<int> Context::join() {
    if (session_) {
        return std::nullopt;
    }
    auto session = std::make_unique<Session>(options_.timeout);
    const std::string name = options_.name.empty() ? loginName() : options_.name;
    if (!session->open(options_.host, options_.port, name)) {
        return output_.fail(session->failure());
    }
    session_ = std::move(session);
    return std::nullopt;
}

std::optional<int> Context::expectArguments(std::size_t least, std::size_t most) {
    const std::size_t count = args().size();
    if (count > most) {
        return most == 0 ? usage(options_.command + " takes no arguments")
                         : usage("too many arguments for " + options_.command);
    }
    if (count < least) {
        return usage("missing arguments for " + options_.command);
    }
    return std::nullopt;
}

int Context::failSession() {
    return output_.fail(session_->failure());
}

int Context::usage(std::string_view message) {
    return output_.usage(options_.command, message);
}

std::optional<int> Context::joinWithPlaylistEntry(long long number) {
    if (auto rc = join()) {
        return rc;
    }
    const int length = session_->status().playlistLength;
    if (number < 1 || number > length) {
        return output_.fail(ExitCode::Failed, "no playlist entry " + std::to_string(number) +
                                                  " (the playlist has " + std::to_string(length) +
                                                  ")");
    }
    return std::nullopt;
}

int Context::showStatus() {
    const PlayerStatus& status = session_->status();
    if (output_.json()) {
        output_.emit(statusJson(status));
    } else {
        output_.out() << statusText(status) << '\n';
    }
    return 0;
}

int runHelp(Context& context) {
    if (context.args().size() > 1) {
        return context.usage("help takes at most one command name");
    }
    if (context.args().empty()) {
        context.output().out() << generalHelp();
        return 0;
    }
    const CommandSpec* command = findCommand(context.args()[0]);
    if (command == nullptr) {
        return context.output().usage("", "unknown command '" + context.args()[0] + "'");
    }
    context.output().out() << commandHelp(*command);
    return 0;
}

int runClient(const Options& options, Output& output) {
    if (options.version) {
        output.out() << "tembrel-remote " << TEMBREL_VERSION << '\n';
        return 0;
    }
    if (options.command.empty()) {
        if (options.help) {
            output.out() << generalHelp();
            return 0;
        }
        return output.usage("", "no command given");
    }
    const CommandSpec* command = findCommand(options.command);
    if (command == nullptr) {
        return output.usage("", "unknown command '" + options.command + "'");
    }
    if (options.help) {
        output.out() << commandHelp(*command);
        return 0;
    }
    Context context(options, output);
    return command->run(context);
}

} // namespace tembrel::client
