// The server's command-line flags: parsed into ServerOptions, or into a
// request for the help or version text, or into an error to show.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "shell/ServerOptions.h"

namespace tembrel::shell {

struct CommandLine {
    enum class Action { Run, Help, Version, Error };

    Action action = Action::Run;
    ServerOptions options;
    std::string error; // for Action::Error: one line saying what is wrong
};

// Exit code for a command line that cannot be used.
inline constexpr int kUsageExitCode = 2;
inline constexpr std::size_t kMaxLocationFlags = 5;
inline constexpr std::size_t kMaxListenFlags = 16;
inline constexpr std::size_t kMaxAllowFlags = 64;

// `args` excludes the program name.
// A size in bytes with an optional K, M or G suffix (powers of 1024).
[[nodiscard]] std::optional<std::uint64_t> parseByteSize(std::string_view text);

[[nodiscard]] CommandLine parseCommandLine(std::span<const std::string_view> args);

[[nodiscard]] std::string usageText(std::string_view programName);
[[nodiscard]] std::string versionText();

} // namespace tembrel::shell
