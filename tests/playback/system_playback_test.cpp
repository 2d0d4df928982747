// Real-time playback through the real sound library's silent output: end
// notices, positions, stop and resume, seeking, volume, restarts.
#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <thread>

#include <gtest/gtest.h>

#include "playback/SystemSoundLibraryImpl.h"
#include "support/AudioFixtures.h"
#include "system_library_support.h"

namespace tembrel::test {
namespace {

using namespace std::chrono_literals;
using playback::kNoStream;
using playback::OpenPurpose;
using playback::StreamHandle;

constexpr int kChannel = 1;

class SystemPlayback : public ::testing::Test {
protected:
    StreamHandle open(const std::string& name, double seconds) {
        const auto file = dir_.path() / name;
        EXPECT_TRUE(makeMp3(file, {.seconds = seconds}));
        const StreamHandle stream = library_->openStream(file.string(), OpenPurpose::Playback);
        EXPECT_NE(stream, kNoStream) << library_->lastError();
        return stream;
    }

    TempDir dir_;
    std::unique_ptr<playback::SoundLibrary> library_ = startedSilentLibrary();
};

TEST_F(SystemPlayback, EndNoticeArrivesOnceOnTheMainThreadInRealTime) {
    const StreamHandle stream = open("two.mp3", 2.0);
    int ends = 0;
    bool onMainThread = false;
    library_->setEndCallback(stream, [&] {
        ++ends;
        onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(library_->playStream(kChannel, stream), kChannel);
    ASSERT_TRUE(pumpUntil([&] { return ends > 0; }, 8s));
    const auto took = std::chrono::steady_clock::now() - start;
    // Played in real time: not decoded through at full speed, not stalled
    // (the upper bound leaves room for a loaded machine).
    EXPECT_GE(took, 1700ms);
    EXPECT_LE(took, 6000ms);
    EXPECT_TRUE(onMainThread);
    EXPECT_GE(library_->streamTime(stream), 1950);
    EXPECT_LE(library_->streamTime(stream), 2100);
    pumpFor(400ms);
    EXPECT_EQ(ends, 1);
}

TEST_F(SystemPlayback, StopKeepsThePositionAndPlayResumesFromIt) {
    const StreamHandle stream = open("four.mp3", 4.0);
    EXPECT_EQ(library_->streamTime(stream), 0);
    ASSERT_EQ(library_->playStream(kChannel, stream), kChannel);
    ASSERT_TRUE(pumpUntil([&] { return library_->streamTime(stream) >= 500; }, 3s));
    ASSERT_TRUE(library_->stopStream(stream));
    const int stoppedAt = library_->streamTime(stream);
    pumpFor(400ms);
    EXPECT_EQ(library_->streamTime(stream), stoppedAt);
    ASSERT_EQ(library_->playStream(kChannel, stream), kChannel);
    ASSERT_TRUE(pumpUntil([&] { return library_->streamTime(stream) > stoppedAt + 200; }, 3s));
    // Resumed, not restarted.
    EXPECT_GT(library_->streamTime(stream), stoppedAt);
}

TEST_F(SystemPlayback, PlaysOnAfterTheIdleOutputWasClosed) {
    const StreamHandle stream = open("idle.mp3", 2.0);
    int ends = 0;
    library_->setEndCallback(stream, [&] { ++ends; });
    ASSERT_EQ(library_->playStream(kChannel, stream), kChannel);
    ASSERT_TRUE(pumpUntil([&] { return library_->streamTime(stream) >= 500; }, 3s));
    ASSERT_TRUE(library_->stopStream(stream));
    const int stoppedAt = library_->streamTime(stream);
    // Nothing plays for longer than the output stays open.
    pumpFor(playback::kOutputIdleDelay + 500ms);
    EXPECT_EQ(library_->streamTime(stream), stoppedAt);
    playback::Spectrum spectrum{};
    spectrum.fill(0.5f);
    ASSERT_TRUE(library_->readSpectrum(spectrum));
    EXPECT_EQ(*std::max_element(spectrum.begin(), spectrum.end()), 0.0f);
    // Played again: it resumes where it stopped and ends in real time.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(library_->playStream(kChannel, stream), kChannel);
    ASSERT_TRUE(pumpUntil([&] { return ends > 0; }, 8s));
    EXPECT_GE(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(2000 - stoppedAt - 300));
    EXPECT_GE(library_->streamTime(stream), 1950);
}

TEST_F(SystemPlayback, SetStreamTimeMovesThePosition) {
    const StreamHandle stream = open("five.mp3", 5.0);
    ASSERT_TRUE(library_->setStreamTime(stream, 3000));
    EXPECT_EQ(library_->streamTime(stream), 3000);
    ASSERT_EQ(library_->playStream(kChannel, stream), kChannel);
    ASSERT_TRUE(pumpUntil([&] { return library_->streamTime(stream) >= 3300; }, 3s));
    // Back to the start while playing.
    ASSERT_TRUE(library_->setStreamTime(stream, 500));
    const int afterSeek = library_->streamTime(stream);
    EXPECT_GE(afterSeek, 500);
    EXPECT_LT(afterSeek, 700);
    EXPECT_FALSE(library_->setStreamTime(stream, -1));
    EXPECT_EQ(library_->lastError(), playback::kErrInvalidParam);
}

TEST_F(SystemPlayback, SeekingPastTheEndEndsTheStreamOnce) {
    const StreamHandle stream = open("long.mp3", 5.0);
    int ends = 0;
    library_->setEndCallback(stream, [&] { ++ends; });
    ASSERT_EQ(library_->playStream(kChannel, stream), kChannel);
    ASSERT_TRUE(library_->setStreamTime(stream, 60000));
    ASSERT_TRUE(pumpUntil([&] { return ends > 0; }, 3s));
    pumpFor(300ms);
    EXPECT_EQ(ends, 1);
}

TEST_F(SystemPlayback, NoEndNoticeAfterTheStreamWasClosed) {
    const StreamHandle stream = open("short.mp3", 0.3);
    int ends = 0;
    library_->setEndCallback(stream, [&] { ++ends; });
    ASSERT_EQ(library_->playStream(kChannel, stream), kChannel);
    // The end is reached while the main thread is busy, so its notice waits
    // in the queue when the stream is closed.
    std::this_thread::sleep_for(800ms);
    ASSERT_TRUE(library_->closeStream(stream));
    pumpFor(300ms);
    EXPECT_EQ(ends, 0);
}

TEST_F(SystemPlayback, EndCallbackMayCloseItsOwnStreamAndStartTheNext) {
    const StreamHandle first = open("first.mp3", 0.4);
    const StreamHandle second = open("second.mp3", 0.4);
    StreamHandle playing = first;
    int ends = 0;
    const auto onEnd = [&] {
        ++ends;
        library_->stopStream(playing);
        library_->closeStream(playing);
        if (playing == first) {
            playing = second;
            EXPECT_EQ(library_->playStream(kChannel, second), kChannel);
        }
    };
    library_->setEndCallback(first, onEnd);
    library_->setEndCallback(second, onEnd);
    ASSERT_EQ(library_->playStream(kChannel, first), kChannel);
    ASSERT_TRUE(pumpUntil([&] { return ends == 2; }, 4s));
    EXPECT_EQ(library_->streamLengthMs(first), 0); // closed
}

TEST_F(SystemPlayback, VolumeIsCheckedAndChannelsToo) {
    EXPECT_TRUE(library_->setVolume(kChannel, 0));
    EXPECT_TRUE(library_->setVolume(kChannel, 255));
    EXPECT_FALSE(library_->setVolume(kChannel, 256));
    EXPECT_EQ(library_->lastError(), playback::kErrInvalidParam);
    EXPECT_FALSE(library_->setVolume(kChannel, -1));
    EXPECT_FALSE(library_->setVolume(32, 100));
    const StreamHandle stream = open("any.mp3", 0.5);
    EXPECT_EQ(library_->playStream(99, stream), -1);
    EXPECT_EQ(library_->lastError(), playback::kErrInvalidParam);
}

TEST_F(SystemPlayback, InformationOnlyStreamsCannotPlay) {
    const auto file = dir_.path() / "info.mp3";
    ASSERT_TRUE(makeMp3(file, {.seconds = 0.5}));
    const StreamHandle stream = library_->openStream(file.string(), OpenPurpose::InformationOnly);
    ASSERT_NE(stream, kNoStream);
    EXPECT_EQ(library_->playStream(kChannel, stream), -1);
    EXPECT_EQ(library_->lastError(), playback::kErrPlay);
    EXPECT_EQ(library_->streamTime(stream), 0);
}

TEST_F(SystemPlayback, CloseReleasesEverythingAndInitWorksAgain) {
    const StreamHandle stream = open("restart.mp3", 3.0);
    ASSERT_EQ(library_->playStream(kChannel, stream), kChannel);
    pumpFor(200ms);
    library_->close();
    EXPECT_FALSE(library_->isInitialized());
    EXPECT_EQ(library_->playStream(kChannel, stream), -1);
    EXPECT_EQ(library_->lastError(), playback::kErrUninitialized);
    ASSERT_TRUE(library_->init(44100, 32, 0));
    EXPECT_FALSE(library_->init(44100, 32, 0));
    EXPECT_EQ(library_->lastError(), playback::kErrBusy);
    const StreamHandle again = open("again.mp3", 1.0);
    EXPECT_NE(again, stream);
    ASSERT_EQ(library_->playStream(kChannel, again), kChannel);
    EXPECT_TRUE(pumpUntil([&] { return library_->streamTime(again) > 100; }, 2s));
}

TEST_F(SystemPlayback, CpuUsageIsASanePercentage) {
    const StreamHandle stream = open("cpu.mp3", 3.0);
    ASSERT_EQ(library_->playStream(kChannel, stream), kChannel);
    float usage = 0.0f;
    ASSERT_TRUE(pumpUntil(
        [&] {
            usage = library_->cpuUsage();
            return usage > 0.0f;
        },
        3s));
    EXPECT_LT(usage, 50.0f);
}

} // namespace
} // namespace tembrel::test
