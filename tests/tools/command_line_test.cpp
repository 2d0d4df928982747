// The client's command line: where options may stand, what reaches the
// command, and which values are refused before anything is sent.
#include <gtest/gtest.h>

#include "CommandLine.h"

namespace tembrel::client {
namespace {

ParsedCommandLine parse(std::vector<std::string> arguments) {
    return parseCommandLine(arguments);
}

TEST(CommandLine, GlobalOptionsBeforeAndAfterTheCommand) {
    const auto parsed =
        parse({"--host", "box", "queue", "--loose", "Aurora Vale", "--json", "--port=6001", "2"});
    ASSERT_TRUE(parsed.error.empty()) << parsed.error;
    EXPECT_EQ(parsed.options.host, "box");
    EXPECT_EQ(parsed.options.port, 6001);
    EXPECT_TRUE(parsed.options.json);
    EXPECT_EQ(parsed.options.command, "queue");
    EXPECT_EQ(parsed.options.args, (std::vector<std::string>{"--loose", "Aurora Vale", "2"}));
}

TEST(CommandLine, NegativeSeekAndDoubleDashReachTheCommand) {
    auto parsed = parse({"seek", "-10"});
    ASSERT_TRUE(parsed.error.empty()) << parsed.error;
    EXPECT_EQ(parsed.options.args, std::vector<std::string>{"-10"});

    parsed = parse({"raw", "--", "--json", "x"});
    ASSERT_TRUE(parsed.error.empty()) << parsed.error;
    EXPECT_FALSE(parsed.options.json);
    EXPECT_EQ(parsed.options.args, (std::vector<std::string>{"--json", "x"}));
}

TEST(CommandLine, HelpAfterACommandAsksForThatCommandsHelp) {
    const auto parsed = parse({"upload", "--help"});
    ASSERT_TRUE(parsed.error.empty());
    EXPECT_TRUE(parsed.options.help);
    EXPECT_EQ(parsed.options.command, "upload");
    EXPECT_TRUE(parsed.options.args.empty());
}

TEST(CommandLine, RefusesBadValues) {
    EXPECT_FALSE(parse({"--port", "0", "status"}).error.empty());
    EXPECT_FALSE(parse({"--port", "65536", "status"}).error.empty());
    EXPECT_FALSE(parse({"--port", "60a", "status"}).error.empty());
    EXPECT_FALSE(parse({"--timeout", "0", "status"}).error.empty());
    EXPECT_FALSE(parse({"--name", "", "status"}).error.empty());
    EXPECT_FALSE(parse({"status", "--port"}).error.empty());
    EXPECT_FALSE(parse({"--json=yes", "status"}).error.empty());
    EXPECT_FALSE(parse({"--frobnicate", "status"}).error.empty());
    EXPECT_EQ(parse({"--port", "65535", "status"}).options.port, 65535);
    EXPECT_EQ(parse({"--timeout=250", "status"}).options.timeout.count(), 250);
}

TEST(CommandLine, DefaultsToLocalhostOnTheServersPort) {
    const auto parsed = parse({"status"});
    EXPECT_EQ(parsed.options.host, "localhost");
    EXPECT_EQ(parsed.options.port, 6000);
    EXPECT_TRUE(parsed.options.name.empty());
    EXPECT_FALSE(loginName().empty());
}

} // namespace
} // namespace tembrel::client
