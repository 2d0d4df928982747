// How a client run ends: the process exit codes and the failure that explains
// a non-zero one.
#pragma once

#include <string>

namespace tembrel::client {

enum class ExitCode : int {
    Ok = 0,
    Failed = 1,     // the server answered, but with an error (queue refused, no picture, ...)
    Usage = 2,      // bad command line; nothing was sent
    Connection = 3, // unreachable, refused, dropped, timed out or a broken reply
};

struct Failure {
    ExitCode code = ExitCode::Failed;
    std::string message;
};

} // namespace tembrel::client
