// The server's command-line flags, the choice between window and headless
// run, and the console view's lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "shell/CommandLine.h"
#include "shell/HeadlessConsole.h"
#include "shell/HeadlessMain.h"

namespace tembrel::shell {
namespace {

[[nodiscard]] CommandLine parse(std::vector<std::string_view> args) {
    return parseCommandLine(args);
}

TEST(CommandLineFlags, NoFlagsRunWithStoredSettings) {
    const CommandLine result = parse({});
    EXPECT_EQ(result.action, CommandLine::Action::Run);
    EXPECT_FALSE(result.options.headless);
    EXPECT_FALSE(result.options.port.has_value());
    EXPECT_TRUE(result.options.locations.empty());
    EXPECT_FALSE(result.options.audio.has_value());
    EXPECT_FALSE(result.options.spectrumDelayMs.has_value());
    EXPECT_FALSE(result.options.spectrum.has_value());
    EXPECT_FALSE(result.options.settingsFile.has_value());
    EXPECT_TRUE(result.options.uploadDir.empty());
}

TEST(CommandLineFlags, EveryFlagWithItsValue) {
    const CommandLine result = parse(
        {"--headless", "--port", "6100", "--location", "/a", "--location=/b", "--settings",
         "/tmp/s.ini", "--audio", "null", "--upload-dir", "/tmp/up", "--spectrum", "30", "--show"});
    ASSERT_EQ(result.action, CommandLine::Action::Run) << result.error;
    EXPECT_TRUE(result.options.headless);
    EXPECT_TRUE(result.options.showWindow);
    EXPECT_EQ(result.options.port, 6100);
    EXPECT_EQ(result.options.locations, (std::vector<std::string>{"/a", "/b"}));
    EXPECT_EQ(result.options.settingsFile, std::filesystem::path("/tmp/s.ini"));
    EXPECT_EQ(result.options.audio, (AudioChoice{playback::AudioOutput::Null, {}}));
    EXPECT_EQ(result.options.uploadDir, std::filesystem::path("/tmp/up"));
    EXPECT_EQ(result.options.spectrum, remote::SpectrumRate::Fps30);
    EXPECT_EQ(parse({"--spectrum", "off"}).options.spectrum, remote::SpectrumRate::Off);
    EXPECT_EQ(parse({"--spectrum=60"}).options.spectrum, remote::SpectrumRate::Fps60);
    EXPECT_EQ(parse({"--audio=snapcast:/run/snap fifo", "--spectrum-delay", "1200"}).options.audio,
              (AudioChoice{playback::AudioOutput::Snapcast, "/run/snap fifo"}));
    EXPECT_EQ(parse({"--spectrum-delay=1200"}).options.spectrumDelayMs, 1200);
}

TEST(CommandLineFlags, UploadQuotaTakesASizeWithASuffix) {
    EXPECT_EQ(parse({"--upload-quota", "2G"}).options.uploadQuotaBytes, 2ULL << 30);
    EXPECT_EQ(parse({"--upload-quota=500m"}).options.uploadQuotaBytes, 500ULL << 20);
    EXPECT_EQ(parse({"--upload-quota=4096"}).options.uploadQuotaBytes, 4096u);
    EXPECT_FALSE(parse({}).options.uploadQuotaBytes);
    for (const std::string_view bad : {"", "G", "-1", "2T", "1.5G", "2GB", "99999999999G"}) {
        EXPECT_EQ(parse({"--upload-quota", bad}).action, CommandLine::Action::Error) << bad;
    }
}

TEST(CommandLineFlags, HelpAndVersion) {
    EXPECT_EQ(parse({"--port", "1", "--help"}).action, CommandLine::Action::Help);
    EXPECT_EQ(parse({"--version"}).action, CommandLine::Action::Version);
    EXPECT_EQ(versionText(), "Tembrel Server Version 0.9b");
    EXPECT_NE(usageText("tembrel-server").find("--location DIR"), std::string::npos);
}

TEST(CommandLineFlags, BadFlagsAreErrors) {
    const std::vector<std::vector<std::string_view>> bad{{"--bogus"},
                                                         {"-x"},
                                                         {"--port"},
                                                         {"--port", "x"},
                                                         {"--port", "-1"},
                                                         {"--port", "65536"},
                                                         {"--port", "80a"},
                                                         {"--audio", "loud"},
                                                         {"--audio"},
                                                         {"--spectrum", "45"},
                                                         {"--location"},
                                                         {"--settings", ""},
                                                         {"--upload-dir"},
                                                         {"--headless=yes"},
                                                         {"positional"},
                                                         {"--audio", "snapcast:"},
                                                         {"--spectrum-delay", "-1"},
                                                         {"--spectrum-delay", "10001"}};
    for (const auto& args : bad) {
        const CommandLine result = parse(args);
        EXPECT_EQ(result.action, CommandLine::Action::Error) << args.front();
        EXPECT_FALSE(result.error.empty());
    }
    std::vector<std::string_view> six;
    for (int i = 0; i < 6; ++i) {
        six.push_back("--location");
        six.push_back("/x");
    }
    EXPECT_EQ(parse(six).action, CommandLine::Action::Error) << "at most five Locations";
    six.resize(10);
    EXPECT_EQ(parse(six).options.locations.size(), 5u);
}

class Environment {
public:
    explicit Environment(const char* name) : name_(name) {
        if (const char* value = std::getenv(name)) {
            saved_ = value;
        }
    }
    ~Environment() {
        if (saved_) {
            ::setenv(name_, saved_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    void set(const char* value) {
        if (value == nullptr) {
            ::unsetenv(name_);
        } else {
            ::setenv(name_, value, 1);
        }
    }

private:
    const char* name_;
    std::optional<std::string> saved_;
};

TEST(DisplayCheck, NeedsADisplayOrANamedPlatform) {
    Environment platform("QT_QPA_PLATFORM");
    Environment display("DISPLAY");
    Environment wayland("WAYLAND_DISPLAY");
    platform.set(nullptr);
    display.set(nullptr);
    wayland.set(nullptr);
    EXPECT_FALSE(displayAvailable());
    display.set(":0");
    EXPECT_TRUE(displayAvailable());
    platform.set("offscreen");
    EXPECT_FALSE(displayAvailable()) << "offscreen never opens a window";
    display.set(nullptr);
    wayland.set("wayland-0");
    platform.set("minimal");
    EXPECT_FALSE(displayAvailable());
    platform.set("xcb");
    EXPECT_TRUE(displayAvailable());
    platform.set(nullptr);
    EXPECT_TRUE(displayAvailable());
}

[[nodiscard]] std::string contents(std::FILE* file) {
    std::rewind(file);
    std::string text(256, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), file));
    std::fclose(file);
    return text;
}

TEST(HeadlessConsoleView, PrintsLogLinesAndNoticesButNotTheStatusLine) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ASSERT_NE(out, nullptr);
    ASSERT_NE(err, nullptr);
    {
        HeadlessConsole console(LogStyle::Journal, out, err);
        console.logLineAppended("Start Listening");
        console.statusLineChanged("CPU Usage: 1.00");
        console.logLineAppended("Connection from 192.0.2.7 refused: address not allowed.");
        console.showNotice("Loading a song", "File not found",
                           remote::ServerView::NoticeKind::Error);
        console.logLineAppended("Location /music: nothing found (missing)");
        console.userListChanged({"anna"}, 0);
    }
    EXPECT_EQ(contents(out), "<6>Start Listening\n"
                             "<4>Connection from 192.0.2.7 refused: address not allowed.\n");
    EXPECT_EQ(contents(err), "<3>Loading a song: File not found\n"
                             "<3>Location /music: nothing found (missing)\n");
}

} // namespace
} // namespace tembrel::shell
