// The play queue on the real sound library and the silent output: queued
// files play one after another in real time, with shuffle and repeat.
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "playback/CPlaylist.h"
#include "playback/SystemSoundLibrary.h"
#include "support/AudioFixtures.h"

namespace tembrel::playback {
namespace {

namespace fs = std::filesystem;

constexpr double kTrackSeconds = 1.5;
// A track may not end much before its length, and the whole run is bounded.
constexpr qint64 kShortestPlayMs = 1200;
constexpr int kWaitSliceMs = 10;

// Passes every call to the real library and notes which files start playing
// and when.
class RecordingLibrary final : public SoundLibrary {
public:
    struct Start {
        std::string path;
        qint64 atMs;
    };

    explicit RecordingLibrary(std::unique_ptr<SoundLibrary> real) : real_(std::move(real)) {
        clock_.start();
    }

    [[nodiscard]] const std::vector<Start>& starts() const noexcept { return starts_; }

    float version() const override { return real_->version(); }
    bool init(int rate, int channels, unsigned flags) override {
        return real_->init(rate, channels, flags);
    }
    void close() override { real_->close(); }
    bool isInitialized() const override { return real_->isInitialized(); }
    int lastError() const override { return real_->lastError(); }
    void setStreamBufferSize(int ms) override { real_->setStreamBufferSize(ms); }
    void setSpectrumActive(bool active) override { real_->setSpectrumActive(active); }
    StreamHandle openStream(const std::string& path, OpenPurpose purpose) override {
        const StreamHandle stream = real_->openStream(path, purpose);
        if (stream != kNoStream && purpose == OpenPurpose::Playback) {
            paths_[stream] = path;
        }
        return stream;
    }
    void setEndCallback(StreamHandle stream, std::function<void()> callback) override {
        real_->setEndCallback(stream, std::move(callback));
    }
    int playStream(int channel, StreamHandle stream) override {
        const int result = real_->playStream(channel, stream);
        if (result != -1) {
            starts_.push_back({paths_[stream], clock_.elapsed()});
        }
        return result;
    }
    bool stopStream(StreamHandle stream) override { return real_->stopStream(stream); }
    bool closeStream(StreamHandle stream) override {
        paths_.erase(stream);
        return real_->closeStream(stream);
    }
    bool setVolume(int channel, int volume) override { return real_->setVolume(channel, volume); }
    int streamTime(StreamHandle stream) const override { return real_->streamTime(stream); }
    bool setStreamTime(StreamHandle stream, int ms) override {
        return real_->setStreamTime(stream, ms);
    }
    int streamLengthMs(StreamHandle stream) const override { return real_->streamLengthMs(stream); }
    std::optional<std::string> findTagField(StreamHandle stream, int type,
                                            std::string_view name) const override {
        return real_->findTagField(stream, type, name);
    }
    std::optional<int> tagFieldCount(StreamHandle stream) const override {
        return real_->tagFieldCount(stream);
    }
    std::optional<TagField> tagField(StreamHandle stream, int index) const override {
        return real_->tagField(stream, index);
    }
    bool readSpectrum(Spectrum& out) const override { return real_->readSpectrum(out); }
    float cpuUsage() const override { return real_->cpuUsage(); }

private:
    std::unique_ptr<SoundLibrary> real_;
    std::map<StreamHandle, std::string> paths_;
    std::vector<Start> starts_;
    QElapsedTimer clock_;
};

// Runs the event loop until `done` holds or `timeoutMs` has passed.
bool runUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > timeoutMs) {
            return false;
        }
        QEventLoop loop;
        QTimer::singleShot(kWaitSliceMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

class QueueSystemTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<test::TempDir>();
        const int frequencies[] = {440, 660, 880};
        for (const int hz : frequencies) {
            test::ToneSpec tone;
            tone.seconds = kTrackSeconds;
            tone.frequencyHz = hz;
            const fs::path file = dir_->path() / ("tone " + std::to_string(hz) + ".mp3");
            if (test::makeMp3(file, tone)) {
                files_.push_back(file.string());
            }
        }
    }
    static void TearDownTestSuite() {
        files_.clear();
        dir_.reset();
    }

    QueueSystemTest() {
        engine_.setConsoleSink([this](std::string_view text) { console_ += text; });
        engine_.setNoticeSink([this](std::string_view caption, std::string_view text) {
            console_ += std::string(caption) + ": " + std::string(text) + "\n";
        });
        engine_.start();
    }
    ~QueueSystemTest() override { engine_.shutdown(); }

    void SetUp() override {
        ASSERT_EQ(files_.size(), 3u) << "ffmpeg could not make the test tones";
        ASSERT_TRUE(engine_.spectrumAvailable()) << console_;
    }

    void queue(int n) {
        for (int i = 0; i < n; ++i) {
            ASSERT_TRUE(playlist_.appendEntry(files_[i], files_[i]));
        }
    }

    [[nodiscard]] std::vector<std::string> startedPaths() const {
        std::vector<std::string> paths;
        for (const auto& start : recorder_->starts()) {
            paths.push_back(start.path);
        }
        return paths;
    }

    // Each track ran for about its length before the next one started.
    void expectFullPlays() const {
        const auto& starts = recorder_->starts();
        for (std::size_t i = 1; i < starts.size(); ++i) {
            EXPECT_GE(starts[i].atMs - starts[i - 1].atMs, kShortestPlayMs) << i;
        }
    }

    static inline std::unique_ptr<test::TempDir> dir_;
    static inline std::vector<std::string> files_;

    std::unique_ptr<RecordingLibrary> recorder_ =
        std::make_unique<RecordingLibrary>(createSystemSoundLibrary(AudioOutput::Null));
    CSoundEngine engine_{*recorder_};
    CTagReader reader_{*recorder_};
    CPlaylist playlist_{engine_, reader_};
    std::string console_;
};

TEST_F(QueueSystemTest, QueuedFilesPlayOneAfterAnother) {
    queue(3);
    EXPECT_EQ(engine_.playState(), PlayState::Playing);
    EXPECT_EQ(playlist_.entry(0).length, "0:01");
    ASSERT_TRUE(runUntil(
        [&] {
            return recorder_->starts().size() == 3 && engine_.playState() == PlayState::Stopped;
        },
        15000))
        << console_;
    EXPECT_EQ(startedPaths(), files_);
    EXPECT_EQ(playlist_.current(), 2);
    expectFullPlays();
    EXPECT_EQ(console_, "");
}

TEST_F(QueueSystemTest, RepeatRestartsASingleEntryUntilSwitchedOff) {
    queue(1);
    playlist_.setRepeat(1);
    ASSERT_TRUE(runUntil([&] { return recorder_->starts().size() >= 3; }, 10000)) << console_;
    playlist_.setRepeat(0);
    ASSERT_TRUE(runUntil([&] { return engine_.playState() == PlayState::Stopped; }, 5000));
    const std::vector<std::string> paths = startedPaths();
    EXPECT_TRUE(std::all_of(paths.begin(), paths.end(),
                            [&](const std::string& path) { return path == files_[0]; }));
    expectFullPlays();
}

TEST_F(QueueSystemTest, ShuffleWithoutRepeatPlaysEachEntryOnceThenStops) {
    playlist_.setShuffle(1);
    queue(3);
    ASSERT_TRUE(runUntil(
        [&] {
            return recorder_->starts().size() == 3 && engine_.playState() == PlayState::Stopped;
        },
        15000))
        << console_;
    const std::vector<std::string> paths = startedPaths();
    EXPECT_EQ(std::set<std::string>(paths.begin(), paths.end()),
              std::set<std::string>(files_.begin(), files_.end()));
    EXPECT_EQ(paths.front(), files_[0]); // appended while Stopped: starts at once
    expectFullPlays();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(playlist_.entry(i).played, 1);
    }
}

} // namespace
} // namespace tembrel::playback
