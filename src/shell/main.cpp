// tembrel-server: reads the command line, then runs the window when a display
// is available (and the window is built in), else the headless server.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "shell/CommandLine.h"
#include "shell/HeadlessMain.h"

#ifdef TEMBREL_HAVE_GUI
#include "shell/gui/WindowMain.h"
#endif

int main(int argc, char** argv) {
    using tembrel::shell::CommandLine;
    const std::string_view program = argc > 0 ? argv[0] : "tembrel-server";
    const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const CommandLine commandLine = tembrel::shell::parseCommandLine(args);

    switch (commandLine.action) {
    case CommandLine::Action::Help:
        std::fputs(tembrel::shell::usageText(program).c_str(), stdout);
        return 0;
    case CommandLine::Action::Version:
        std::puts(tembrel::shell::versionText().c_str());
        return 0;
    case CommandLine::Action::Error:
        std::fprintf(stderr, "%.*s: %s\nTry '%.*s --help' for the options.\n",
                     static_cast<int>(program.size()), program.data(), commandLine.error.c_str(),
                     static_cast<int>(program.size()), program.data());
        return tembrel::shell::kUsageExitCode;
    case CommandLine::Action::Run:
        break;
    }

#ifdef TEMBREL_HAVE_GUI
    if (!commandLine.options.headless && tembrel::shell::displayAvailable()) {
        return tembrel::shell::runWindowed(argc, argv, commandLine.options);
    }
#endif
    return tembrel::shell::runHeadless(argc, argv, commandLine.options);
}
