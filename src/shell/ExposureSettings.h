#pragma once

// Where the server listens and whom it admits, from the command line (which
// wins) or the settings file.

#include <functional>
#include <string_view>

#include "net/CNDKHost.h"
#include "shell/ServerOptions.h"
#include "shell/SettingsStore.h"

namespace tembrel::shell {

// Entries of the settings that are neither an address nor a network are
// reported to `log` and left out; a list of which none is usable leaves the
// default (every interface; the local networks).
[[nodiscard]] net::CNDKHost::Exposure
exposureFor(const ServerOptions& options, const LoadedSettings& stored,
            const std::function<void(std::string_view line)>& log);

} // namespace tembrel::shell
