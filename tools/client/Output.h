// Where the client's results and errors go: plain text or one JSON object on
// standard output, error messages on standard error.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "Json.h"
#include "connection/Failure.h"

namespace tembrel::client {

class Output {
public:
    Output(bool json, std::ostream& out, std::ostream& err) noexcept
        : json_(json), out_(out), err_(err) {}

    [[nodiscard]] bool json() const noexcept { return json_; }
    [[nodiscard]] std::ostream& out() noexcept { return out_; }
    [[nodiscard]] std::ostream& err() noexcept { return err_; }

    // Prints the JSON result (in --json mode) followed by a line break.
    void emit(const Json& result);
    // Reports the failure (stderr, plus {"ok":false,...} in --json mode) and
    // returns its exit code.
    int fail(const Failure& failure);
    int fail(ExitCode code, std::string message) { return fail(Failure{code, std::move(message)}); }
    // A usage error of `command`, with a hint to its help.
    int usage(std::string_view command, std::string_view message);

private:
    bool json_;
    std::ostream& out_;
    std::ostream& err_;
};

} // namespace tembrel::client
