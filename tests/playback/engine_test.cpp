// The sound engine on the scripted library: the order of library calls at
// start, shutdown and per file, the failures and what the user is told.
#include <climits>
#include <functional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "playback/CSoundEngine.h"
#include "support/FakeSoundLibrary.h"

namespace tembrel::playback {
namespace {

using test::FakeSoundLibrary;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct Notice {
    std::string caption;
    std::string text;
    bool operator==(const Notice&) const = default;
};

class EngineTest : public ::testing::Test {
protected:
    EngineTest() {
        engine_.setConsoleSink([this](std::string_view text) { console_.emplace_back(text); });
        engine_.setNoticeSink([this](std::string_view caption, std::string_view text) {
            notices_.push_back({std::string(caption), std::string(text)});
        });
        library_.addFile("/music/a.mp3", 5000);
        library_.addFile("/music/b.mp3", 7000);
    }

    FakeSoundLibrary library_;
    CSoundEngine engine_{library_};
    std::vector<std::string> console_;
    std::vector<Notice> notices_;
};

TEST_F(EngineTest, StartRunsItsStepsInOrderAndStopsPlayback) {
    engine_.setPlayState(PlayState::Playing);
    engine_.start();
    EXPECT_THAT(library_.calls(), ElementsAre("version", "init 44100 32 0",
                                              "setStreamBufferSize 1000", "setSpectrumActive 1"));
    EXPECT_THAT(console_, IsEmpty());
    EXPECT_EQ(engine_.playState(), PlayState::Stopped);
    EXPECT_TRUE(engine_.spectrumAvailable());
    Spectrum spectrum{};
    EXPECT_TRUE(engine_.library().readSpectrum(spectrum));
}

TEST_F(EngineTest, OldLibraryVersionIsReportedAndStartGoesOn) {
    library_.setVersion(3.70f);
    engine_.start();
    EXPECT_THAT(console_, ElementsAre("Error : You are using the wrong DLL version!  You should be "
                                      "using FMOD 3.74\n"));
    EXPECT_TRUE(engine_.spectrumAvailable());
    EXPECT_EQ(library_.calls().size(), 4u);

    console_.clear();
    library_.setVersion(3.74f);
    engine_.start();
    EXPECT_THAT(console_, IsEmpty());
}

TEST_F(EngineTest, FailedInitIsReportedClosesTheLibraryAndStartGoesOn) {
    library_.failInit(kErrInitialization);
    engine_.setPlayState(PlayState::Paused);
    engine_.start();
    EXPECT_THAT(console_, ElementsAre("Error!\n", "Error initializing output device.\n"));
    EXPECT_THAT(library_.calls(), ElementsAre("version", "init 44100 32 0", "close",
                                              "setStreamBufferSize 1000", "setSpectrumActive 1"));
    EXPECT_EQ(engine_.playState(), PlayState::Stopped);
    // Nobody may read the spectrum of a library that did not come up.
    EXPECT_FALSE(engine_.spectrumAvailable());

    // Without sound, files do not play; the user is told and nothing crashes.
    EXPECT_FALSE(engine_.playFile("/music/a.mp3"));
    EXPECT_EQ(engine_.stream(), kNoStream);
    EXPECT_EQ(notices_.size(), 1u);
}

TEST_F(EngineTest, FirstFileOnlyOpensPlaysAndSetsTheVolume) {
    engine_.start();
    library_.clearCalls();
    engine_.setVolume(144);
    EXPECT_TRUE(engine_.playFile("/music/a.mp3"));
    const StreamHandle stream = engine_.stream();
    const std::string s = std::to_string(stream);
    EXPECT_THAT(library_.calls(), ElementsAre("open /music/a.mp3 playback", "setEndCallback " + s,
                                              "play 1 " + s, "setVolume 1 144"));
    EXPECT_EQ(engine_.playState(), PlayState::Playing);
    EXPECT_EQ(library_.playingPath(), "/music/a.mp3");
    EXPECT_THAT(notices_, IsEmpty());
}

TEST_F(EngineTest, NextFileReleasesThePreviousStreamFirst) {
    engine_.start();
    ASSERT_TRUE(engine_.playFile("/music/a.mp3"));
    const std::string first = std::to_string(engine_.stream());
    library_.clearCalls();
    ASSERT_TRUE(engine_.playFile("/music/b.mp3"));
    ASSERT_GE(library_.calls().size(), 3u);
    EXPECT_EQ(library_.calls()[0], "stop " + first);
    EXPECT_EQ(library_.calls()[1], "closeStream " + first);
    EXPECT_EQ(library_.calls()[2], "open /music/b.mp3 playback");
    EXPECT_EQ(library_.openStreamCount(), 1);
    EXPECT_EQ(library_.playingPath(), "/music/b.mp3");
}

TEST_F(EngineTest, FileThatCannotBeOpenedLeavesNoStreamAndTheStateAlone) {
    engine_.start();
    library_.addFile("/music/odd.mp3", 1000).openError = kErrFileFormat;
    ASSERT_TRUE(engine_.playFile("/music/a.mp3"));
    engine_.setPlayState(PlayState::Paused);

    EXPECT_FALSE(engine_.playFile("/music/missing.mp3"));
    EXPECT_EQ(engine_.stream(), kNoStream);
    EXPECT_EQ(library_.openStreamCount(), 0);
    EXPECT_EQ(engine_.playState(), PlayState::Paused);
    EXPECT_FALSE(engine_.playFile("/music/odd.mp3"));
    EXPECT_THAT(notices_, ElementsAre(Notice{"Loading a song", "File not found"},
                                      Notice{"Loading a song", "Unknown file format"}));

    // With no stream left there is nothing to release before the next open.
    library_.clearCalls();
    ASSERT_TRUE(engine_.playFile("/music/b.mp3"));
    EXPECT_EQ(library_.calls().front(), "open /music/b.mp3 playback");
}

TEST_F(EngineTest, StreamThatCannotStartStaysOpenUntilReplaced) {
    engine_.start();
    library_.addFile("/music/busy.mp3", 1000).playError = kErrChannelAlloc;
    EXPECT_FALSE(engine_.playFile("/music/busy.mp3"));
    EXPECT_THAT(notices_,
                ElementsAre(Notice{"Playing a song", "Failed to allocate a new channel"}));
    EXPECT_EQ(engine_.playState(), PlayState::Stopped);
    const StreamHandle stuck = engine_.stream();
    EXPECT_NE(stuck, kNoStream);
    EXPECT_EQ(library_.openStreamCount(), 1);
    // The volume step is skipped after a failed start.
    EXPECT_EQ(library_.channelVolume(CSoundEngine::kPlayChannel), -1);

    ASSERT_TRUE(engine_.playFile("/music/a.mp3"));
    EXPECT_EQ(library_.findStream(stuck), nullptr);
    EXPECT_EQ(library_.openStreamCount(), 1);
}

TEST_F(EngineTest, ShutdownReleasesTheStreamOnceAndClosesTheLibrary) {
    engine_.start();
    library_.addFile("/music/busy.mp3", 1000).playError = kErrPlay;
    EXPECT_FALSE(engine_.playFile("/music/busy.mp3"));
    const std::string s = std::to_string(engine_.stream());
    library_.clearCalls();
    engine_.shutdown();
    EXPECT_THAT(library_.calls(), ElementsAre("stop " + s, "closeStream " + s, "close"));
    EXPECT_EQ(engine_.stream(), kNoStream);
    EXPECT_EQ(library_.openStreamCount(), 0);
    EXPECT_FALSE(engine_.spectrumAvailable());

    library_.clearCalls();
    engine_.shutdown();
    EXPECT_THAT(library_.calls(), ElementsAre("close"));
}

TEST_F(EngineTest, RestartAfterShutdownLeavesNoStreamAndStopped) {
    engine_.start();
    ASSERT_TRUE(engine_.playFile("/music/a.mp3"));
    engine_.shutdown();
    engine_.start();
    EXPECT_EQ(engine_.stream(), kNoStream);
    EXPECT_EQ(library_.openStreamCount(), 0);
    EXPECT_EQ(engine_.playState(), PlayState::Stopped);
    EXPECT_TRUE(engine_.spectrumAvailable());
    ASSERT_TRUE(engine_.playFile("/music/b.mp3"));
    EXPECT_EQ(library_.playingPath(), "/music/b.mp3");
}

TEST_F(EngineTest, EndOfTheCurrentStreamRunsTheHandlerOnce) {
    int ends = 0;
    engine_.setStreamEndHandler([&] { ++ends; });
    engine_.start();
    ASSERT_TRUE(engine_.playFile("/music/a.mp3"));
    library_.advance(4999);
    EXPECT_EQ(ends, 0);
    library_.advance(1);
    EXPECT_EQ(ends, 1);
    library_.advance(10000);
    EXPECT_EQ(ends, 1);

    // An end notice that arrives after its stream was replaced is stale.
    ASSERT_TRUE(engine_.playFile("/music/a.mp3"));
    const std::function<void()> late = library_.findStream(engine_.stream())->endCallback;
    ASSERT_TRUE(engine_.playFile("/music/b.mp3"));
    late();
    EXPECT_EQ(ends, 1);
}

TEST(EngineLifetime, DestroyedEngineLeavesNoStreamOpen) {
    FakeSoundLibrary library;
    library.addFile("/a.mp3", 1000);
    {
        CSoundEngine engine(library);
        engine.setConsoleSink([](std::string_view) {});
        engine.start();
        ASSERT_TRUE(engine.playFile("/a.mp3"));
    }
    EXPECT_EQ(library.openStreamCount(), 0);
    EXPECT_TRUE(library.isInitialized());
}

TEST_F(EngineTest, ErrorTextsCoverTheKnownCodesAndNothingElse) {
    EXPECT_EQ(CSoundEngine::soundErrorText(kErrNone), "No errors");
    EXPECT_EQ(CSoundEngine::soundErrorText(kErrBusy),
              "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.");
    EXPECT_EQ(CSoundEngine::soundErrorText(kErrFileNotFound), "File not found");
    EXPECT_EQ(CSoundEngine::soundErrorText(kErrMemory), "Not enough memory ");
    EXPECT_EQ(CSoundEngine::soundErrorText(kErrMediaPlayer),
              "Required Mediaplayer codec is not installed");
    EXPECT_EQ(CSoundEngine::soundErrorText(19), "Unknown error");
    EXPECT_EQ(CSoundEngine::soundErrorText(-1), "Unknown error");
    EXPECT_EQ(CSoundEngine::soundErrorText(INT_MIN), "Unknown error");
}

TEST(EngineDefaults, ConsoleLinesAndNoticesGoToStandardOutput) {
    FakeSoundLibrary library;
    library.setVersion(3.0f);
    library.failInit(kErrAllocated);
    CSoundEngine engine(library);
    EXPECT_EQ(engine.volume(), 128);
    ::testing::internal::CaptureStdout();
    engine.start();
    (void)engine.playFile("/nowhere.mp3");
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Error : You are using the wrong DLL version!  You should be using FMOD 3.74\n"
                   "Error!\n"
                   "The output device is already in use and cannot be reused.\n"
                   "Loading a song: This command failed because FSOUND_Init was not called\n");
}

} // namespace
} // namespace tembrel::playback
