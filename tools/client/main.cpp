// tembrel-remote: the command-line remote control of a Tembrel Server.
#include <iostream>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Commands.h"

int main(int argc, char** argv) {
    using namespace tembrel::client;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const ParsedCommandLine parsed = parseCommandLine(arguments);
    Output output(parsed.options.json, std::cout, std::cerr);
    if (!parsed.error.empty()) {
        return output.usage("", parsed.error);
    }
    return runClient(parsed.options, output);
}
