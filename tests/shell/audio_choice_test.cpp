// The audio output and the spectrum delay from the settings file and the
// command line, as the sound library gets them at start-up.
#include <gtest/gtest.h>

#include "settings_fixture.h"
#include "shell/AudioChoice.h"
#include "shell/CommandLine.h"
#include "shell/SettingsStore.h"

namespace tembrel::test {
namespace {

using playback::AudioOutput;
using playback::OutputSettings;

OutputSettings resolve(SettingsFile& file, std::vector<std::string_view> flags = {}) {
    const shell::CommandLine line = shell::parseCommandLine(flags);
    EXPECT_EQ(line.action, shell::CommandLine::Action::Run) << line.error;
    const shell::SettingsStore store(file.path());
    return shell::outputSettings(line.options, store,
                                 [&file](std::string_view text) { file.log.emplace_back(text); });
}

TEST(AudioChoice, StoredOutputAndDelayApplyUnlessAFlagSaysOtherwise) {
    SettingsFile file;
    file.write("[Settings]\nAudioOutput=snapcast:/srv/snap,fifo\nSpectrumDelay=1000\n");
    const OutputSettings stored = resolve(file);
    EXPECT_EQ(stored.output, AudioOutput::Snapcast);
    EXPECT_EQ(stored.snapcastPipe, "/srv/snap,fifo") << "a comma does not split the path";
    EXPECT_EQ(stored.spectrumDelayMs, 1000);

    const OutputSettings flagged = resolve(file, {"--audio", "null", "--spectrum-delay", "0"});
    EXPECT_EQ(flagged.output, AudioOutput::Null);
    EXPECT_EQ(flagged.spectrumDelayMs, 0);
    EXPECT_TRUE(file.log.empty());
}

TEST(AudioChoice, UnusableStoredValuesAreLoggedAndLeaveTheDefaults) {
    SettingsFile file;
    file.write("[Settings]\nAudioOutput=loud\nSpectrumDelay=soon\n");
    const OutputSettings settings = resolve(file);
    EXPECT_EQ(settings.output, AudioOutput::Auto);
    EXPECT_EQ(settings.spectrumDelayMs, 0);
    ASSERT_EQ(file.log.size(), 2u);
    EXPECT_NE(file.log[0].find("\"loud\""), std::string::npos) << file.log[0];
    EXPECT_NE(file.log[1].find("\"soon\""), std::string::npos) << file.log[1];

    SettingsFile empty;
    const OutputSettings defaults = resolve(empty);
    EXPECT_EQ(defaults.output, AudioOutput::Auto);
    EXPECT_EQ(defaults.spectrumDelayMs, 0);
    EXPECT_FALSE(empty.exists()) << "reading writes nothing";
}

} // namespace
} // namespace tembrel::test
