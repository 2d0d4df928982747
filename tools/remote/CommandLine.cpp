// Parses the client's command line.
#include "CommandLine.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "Text.h"

namespace tembrel::remote::client {

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

} // namespace

ParsedCommandLine parseCommandLine(std::span<const std::string> arguments) {
    ParsedCommandLine parsed;
    Options& options = parsed.options;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            if (options.command.empty() && !optionsEnded) {
                options.command = argument;
            } else {
                options.args.push_back(argument);
            }
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            if (options.command.empty() && i + 1 < arguments.size()) {
                options.command = arguments[++i];
            }
            continue;
        }
        std::optional<std::string> inlineValue;
        const std::string_view name = optionName(argument, inlineValue);
        const bool takesValue = name == "--host" || name == "--port" || name == "-p" ||
                                name == "--name" || name == "--timeout";
        if (!takesValue && inlineValue) {
            parsed.error = "option " + std::string(name) + " takes no value";
            return parsed;
        }
        std::string value;
        if (takesValue) {
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            } else {
                parsed.error = "option " + std::string(name) + " needs a value";
                return parsed;
            }
        }
        if (name == "--host") {
            if (value.empty()) {
                parsed.error = "--host needs a host name or address";
                return parsed;
            }
            options.host = value;
            options.hostGiven = true;
        } else if (name == "--port" || name == "-p") {
            const auto port = parseUnsigned(value);
            if (!port || *port < 1 || *port > kMaxPort) {
                parsed.error = "--port needs a number from 1 to 65535, not '" + value + "'";
                return parsed;
            }
            options.port = static_cast<int>(*port);
            options.portGiven = true;
        } else if (name == "--name") {
            if (value.empty()) {
                parsed.error = "--name needs a user name";
                return parsed;
            }
            options.name = value;
        } else if (name == "--timeout") {
            const auto ms = parseUnsigned(value);
            if (!ms || *ms < 1 || *ms > kMaxTimeout.count()) {
                parsed.error = "--timeout needs milliseconds from 1 to " +
                               std::to_string(kMaxTimeout.count()) + ", not '" + value + "'";
                return parsed;
            }
            options.timeout = std::chrono::milliseconds(*ms);
        } else if (name == "--json") {
            options.json = true;
        } else if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--version") {
            options.version = true;
        } else if (!options.command.empty()) {
            options.args.push_back(argument); // the command's own option
        } else {
            parsed.error = "unknown option " + argument;
            return parsed;
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

} // namespace tembrel::remote::client
