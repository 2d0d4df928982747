// Parses the client's command line.
#include "CommandLine.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "Text.h"

namespace tembrel::client {

namespace {

constexpr long long kMaxPort = 65535;

// Splits "--opt=value"; returns the option name and sets `value` when given.
std::string_view optionName(std::string_view argument, std::optional<std::string>& value) {
    if (argument.starts_with("--")) {
        if (const auto eq = argument.find('='); eq != std::string_view::npos) {
            value = std::string(argument.substr(eq + 1));
            return argument.substr(0, eq);
        }
    }
    return argument;
}

bool takesValue(std::string_view name) noexcept {
    return name == "--host" || name == "--port" || name == "--name" || name == "--timeout";
}

// Sets an option that takes a value; returns the usage error, if any.
std::string setValueOption(std::string_view name, const std::string& value, Options& options) {
    if (name == "--host") {
        if (value.empty()) {
            return "--host needs a host name or address";
        }
        options.host = value;
    } else if (name == "--port") {
        const auto port = parseUnsigned(value);
        if (!port || *port < 1 || *port > kMaxPort) {
            return "--port needs a number from 1 to " + std::to_string(kMaxPort) + ", not '" +
                   value + "'";
        }
        options.port = static_cast<int>(*port);
    } else if (name == "--name") {
        if (value.empty()) {
            return "--name needs a user name";
        }
        options.name = value;
    } else {
        const auto ms = parseUnsigned(value);
        if (!ms || *ms < 1 || *ms > kMaxTimeout.count()) {
            return "--timeout needs milliseconds from 1 to " + std::to_string(kMaxTimeout.count()) +
                   ", not '" + value + "'";
        }
        options.timeout = std::chrono::milliseconds(*ms);
    }
    return {};
}

// Sets an option without a value; an option the client does not know
// belongs to the command when one was named. Returns the usage error, if any.
std::string setFlag(std::string_view name, const std::string& argument, Options& options) {
    if (name == "--json") {
        options.json = true;
    } else if (name == "--help" || name == "-h") {
        options.help = true;
    } else if (name == "--version") {
        options.version = true;
    } else if (!options.command.empty()) {
        options.args.push_back(argument); // the command's own option
    } else {
        return "unknown option " + argument;
    }
    return {};
}

// Takes the option at `i` (and its value); returns the usage error, if any.
std::string takeOption(std::span<const std::string> arguments, std::size_t& i, Options& options) {
    const std::string& argument = arguments[i];
    std::optional<std::string> inlineValue;
    const std::string_view name = optionName(argument, inlineValue);
    if (!takesValue(name)) {
        if (inlineValue) {
            return "option " + std::string(name) + " takes no value";
        }
        return setFlag(name, argument, options);
    }
    if (inlineValue) {
        return setValueOption(name, *inlineValue, options);
    }
    if (i + 1 < arguments.size()) {
        return setValueOption(name, arguments[++i], options);
    }
    return "option " + std::string(name) + " needs a value";
}

} // namespace

ParsedCommandLine parseCommandLine(std::span<const std::string> arguments) {
    ParsedCommandLine parsed;
    Options& options = parsed.options;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size() && parsed.error.empty(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            if (options.command.empty() && !optionsEnded) {
                options.command = argument;
            } else {
                options.args.push_back(argument);
            }
        } else if (argument == "--") {
            optionsEnded = true;
            if (options.command.empty() && i + 1 < arguments.size()) {
                options.command = arguments[++i];
            }
        } else {
            parsed.error = takeOption(arguments, i, options);
        }
    }
    return parsed;
}

std::string loginName() {
    if (const char* user = std::getenv("USER"); user != nullptr && *user != '\0') {
        return user;
    }
    if (const char* logname = std::getenv("LOGNAME"); logname != nullptr && *logname != '\0') {
        return logname;
    }
    if (const passwd* entry = ::getpwuid(::geteuid()); entry != nullptr && entry->pw_name) {
        return entry->pw_name;
    }
    return "tembrel-remote";
}

} // namespace tembrel::client
