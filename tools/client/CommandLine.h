// The client's command line: global options, the command and its arguments.
#pragma once

#include <chrono>
#include <span>
#include <string>
#include <vector>

#include "protocol/ProtocolConstants.h"

namespace tembrel::client {

inline constexpr std::chrono::milliseconds kDefaultTimeout{5000};
inline constexpr std::chrono::milliseconds kMaxTimeout{600'000};

struct Options {
    std::string host = "localhost";
    int port = protocol::kDefaultPort;
    std::string name; // empty: the login name
    bool json = false;
    std::chrono::milliseconds timeout = kDefaultTimeout;
    std::string command;           // empty with --help or --version alone
    std::vector<std::string> args; // the command's own arguments and options
    bool help = false;             // --help: general help, or the command's
    bool version = false;
};

struct ParsedCommandLine {
    Options options;
    std::string error; // non-empty: a usage error
};

// Global options may stand before or after the command; "--" ends option
// parsing, so the rest reaches the command as it is. Options that are not
// global are passed to the command.
[[nodiscard]] ParsedCommandLine parseCommandLine(std::span<const std::string> arguments);

// The login name, for joining when --name is not given.
[[nodiscard]] std::string loginName();

} // namespace tembrel::client
