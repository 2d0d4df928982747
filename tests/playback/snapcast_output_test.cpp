// The real sound library playing into a named pipe, as a Snapcast server
// reads it: the format, real-time pacing, a reader that comes and goes, and
// an output that sleeps while nothing plays.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "playback/SnapcastOutput.h"
#include "support/AudioFixtures.h"
#include "system_library_support.h"

namespace tembrel::test {
namespace {

using namespace std::chrono_literals;
using playback::kNoStream;
using playback::OpenPurpose;
using playback::StreamHandle;

constexpr int kChannel = 1;
constexpr int kPipeRate = playback::SnapcastOutput::kPipeRate;
constexpr std::int16_t kLoud = 8000; // a quarter of full scale

// Reads the pipe on a thread of its own, as snapserver does, keeping the
// samples.
class PipeReader {
public:
    explicit PipeReader(const std::filesystem::path& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)),
          thread_([this] { loop(); }) {}
    ~PipeReader() { close(); }
    PipeReader(const PipeReader&) = delete;
    PipeReader& operator=(const PipeReader&) = delete;

    [[nodiscard]] bool opened() const noexcept { return fd_ >= 0; }
    void close() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    [[nodiscard]] std::vector<std::int16_t> samples() const {
        const std::lock_guard lock(mutex_);
        std::vector<std::int16_t> samples(bytes_.size() / sizeof(std::int16_t));
        std::memcpy(samples.data(), bytes_.data(), samples.size() * sizeof(std::int16_t));
        return samples;
    }
    [[nodiscard]] std::size_t byteCount() const {
        const std::lock_guard lock(mutex_);
        return bytes_.size();
    }

private:
    void loop() {
        std::vector<std::uint8_t> buffer(65536);
        while (!stop_ && fd_ >= 0) {
            pollfd entry{fd_, POLLIN, 0};
            static_cast<void>(::poll(&entry, 1, 20));
            const ssize_t got = ::read(fd_, buffer.data(), buffer.size());
            if (got <= 0) {
                std::this_thread::sleep_for(10ms); // no writer yet, or nothing written
                continue;
            }
            const std::lock_guard lock(mutex_);
            bytes_.insert(bytes_.end(), buffer.begin(), buffer.begin() + got);
        }
    }

    int fd_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_; // guards bytes_
    std::vector<std::uint8_t> bytes_;
    std::thread thread_;
};

// Log lines from any thread.
class LogLines {
public:
    std::function<void(std::string_view)> sink() {
        return [this](std::string_view line) {
            const std::lock_guard lock(mutex_);
            lines_.emplace_back(line);
        };
    }
    [[nodiscard]] int count(std::string_view part) const {
        const std::lock_guard lock(mutex_);
        return static_cast<int>(std::count_if(lines_.begin(), lines_.end(), [&](const auto& line) {
            return line.find(part) != std::string::npos;
        }));
    }
    [[nodiscard]] std::string all() const {
        const std::lock_guard lock(mutex_);
        std::string text;
        for (const auto& line : lines_) {
            text += line + "\n";
        }
        return text;
    }

private:
    mutable std::mutex mutex_; // guards lines_
    std::vector<std::string> lines_;
};

// Voluntary context switches of the output thread: a thread that sleeps
// without timers has none while nothing plays.
long outputThreadSwitches() {
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        if (name != playback::SnapcastOutput::kThreadName) {
            continue;
        }
        std::ifstream status(task.path() / "status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("voluntary_ctxt_switches:")) {
                return std::stol(line.substr(line.find(':') + 1));
            }
        }
    }
    return -1;
}

// Rising zero crossings per second of the left channel where it is loud.
double frequencyOf(const std::vector<std::int16_t>& samples) {
    std::vector<std::int16_t> left;
    for (std::size_t i = 0; i + 1 < samples.size(); i += 2) {
        left.push_back(samples[i]);
    }
    const auto first = std::find_if(left.begin(), left.end(), [](auto s) { return s > kLoud; });
    const auto last = std::find_if(left.rbegin(), left.rend(), [](auto s) { return s > kLoud; });
    if (first == left.end()) {
        return 0.0;
    }
    const auto end = last.base();
    int rises = 0;
    for (auto it = first; it + 1 < end; ++it) {
        rises += *it < 0 && *(it + 1) >= 0 ? 1 : 0;
    }
    return rises * static_cast<double>(kPipeRate) / static_cast<double>(end - first);
}

class SnapcastPipe : public ::testing::Test {
protected:
    void start(int spectrumDelayMs = 0) {
        library_ = playback::createSystemSoundLibrary(
            {playback::AudioOutput::Snapcast, pipe_.string(), spectrumDelayMs}, log_.sink());
        ASSERT_TRUE(library_->init(44100, 32, 0)) << library_->lastError();
        library_->setStreamBufferSize(1000);
        library_->setSpectrumActive(true);
    }
    StreamHandle play(double seconds) {
        const auto file = dir_.path() / ("tone" + std::to_string(files_++) + ".mp3");
        EXPECT_TRUE(makeMp3(file, {.seconds = seconds, .frequencyHz = 1000}));
        const StreamHandle stream = library_->openStream(file.string(), OpenPurpose::Playback);
        EXPECT_NE(stream, kNoStream);
        library_->setEndCallback(stream, [this] { ++ends_; });
        EXPECT_EQ(library_->playStream(kChannel, stream), kChannel);
        return stream;
    }
    [[nodiscard]] float spectrumPeak() const {
        playback::Spectrum spectrum{};
        EXPECT_TRUE(library_->readSpectrum(spectrum));
        return *std::max_element(spectrum.begin(), spectrum.end());
    }

    TempDir dir_;
    std::filesystem::path pipe_ = dir_.path() / "snapfifo";
    LogLines log_;
    int files_ = 0;
    int ends_ = 0;
    std::unique_ptr<playback::SoundLibrary> library_;
};

TEST_F(SnapcastPipe, ToneArrivesAs48kHzStereoInRealTimeAndTheOutputThenSleeps) {
    start();
    struct stat status {};
    ASSERT_EQ(::stat(pipe_.c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode)) << "the pipe is created";
    PipeReader reader(pipe_);
    ASSERT_TRUE(reader.opened());

    const auto begin = std::chrono::steady_clock::now();
    const StreamHandle stream = play(1.5);
    ASSERT_TRUE(pumpUntil([&] { return library_->streamTime(stream) >= 700; }, 3s));
    EXPECT_GT(spectrumPeak(), 0.5f) << "the spectrum follows the music";
    ASSERT_TRUE(pumpUntil([&] { return ends_ > 0; }, 6s));
    EXPECT_GE(std::chrono::steady_clock::now() - begin, 1300ms) << "paced, not written at once";
    EXPECT_GE(library_->streamTime(stream), 1450);

    pumpFor(600ms); // the last period leaves, the reader drains the pipe
    const long switches = outputThreadSwitches();
    ASSERT_GE(switches, 0) << "the output thread is running";
    pumpFor(700ms);
    EXPECT_EQ(outputThreadSwitches(), switches) << "no wake-ups while nothing plays";
    EXPECT_EQ(spectrumPeak(), 0.0f) << "a silent spectrum once the music stopped";
    reader.close();

    // One period of silence ahead, the tone, and at most the rest of the
    // period in which it ended.
    const std::vector<std::int16_t> samples = reader.samples();
    const double seconds = static_cast<double>(samples.size() / 2) / kPipeRate;
    EXPECT_GE(seconds, 1.5);
    EXPECT_LE(seconds, 1.5 + 0.3);
    EXPECT_NEAR(frequencyOf(samples), 1000.0, 15.0) << "resampled to 48 kHz";
    EXPECT_GT(*std::max_element(samples.begin(), samples.end()), 2 * kLoud);
    EXPECT_EQ(log_.count("a reader opened"), 1) << log_.all();
}

TEST_F(SnapcastPipe, PlaysOnWithoutAReaderAndPicksReadersUpAgain) {
    start();
    const StreamHandle stream = play(6.0);
    ASSERT_TRUE(pumpUntil([&] { return log_.count("nobody reads") == 1; }, 3s)) << log_.all();
    EXPECT_GT(library_->streamTime(stream), 0) << "plays on";

    auto reader = std::make_unique<PipeReader>(pipe_);
    ASSERT_TRUE(pumpUntil([&] { return reader->byteCount() > 0; }, 3s)) << log_.all();
    EXPECT_EQ(log_.count("a reader opened"), 1) << log_.all();
    pumpFor(300ms);
    // The reader goes away while the music plays: the process must not die
    // of the broken pipe, and the next reader is picked up again.
    reader.reset();
    ASSERT_TRUE(pumpUntil([&] { return log_.count("nobody reads") == 2; }, 3s)) << log_.all();
    reader = std::make_unique<PipeReader>(pipe_);
    ASSERT_TRUE(pumpUntil([&] { return reader->byteCount() > 0; }, 3s)) << log_.all();
    ASSERT_TRUE(pumpUntil([&] { return ends_ > 0; }, 8s));
    EXPECT_GE(library_->streamTime(stream), 5950);
    EXPECT_EQ(log_.count("a reader opened"), 2) << log_.all();
    EXPECT_EQ(log_.count("nobody reads"), 2) << log_.all();
}

TEST_F(SnapcastPipe, SpectrumTrailsTheOutputByTheDelay) {
    start(600);
    PipeReader reader(pipe_);
    static_cast<void>(play(1.0));
    pumpFor(150ms);
    EXPECT_EQ(spectrumPeak(), 0.0f) << "nothing heard yet";
    ASSERT_TRUE(pumpUntil([&] { return ends_ > 0; }, 5s));
    EXPECT_GT(spectrumPeak(), 0.5f) << "the speakers still play the tone";
    pumpFor(1200ms);
    EXPECT_EQ(spectrumPeak(), 0.0f) << "and have finished it";
}

TEST_F(SnapcastPipe, RefusesAPathThatIsNotAPipeAndLeavesItAlone) {
    ASSERT_TRUE(writeFile(pipe_, "not audio"));
    start();
    EXPECT_EQ(log_.count("is not a named pipe"), 1) << log_.all();
    const StreamHandle stream = play(1.0);
    ASSERT_TRUE(pumpUntil([&] { return library_->streamTime(stream) >= 300; }, 3s))
        << "plays on through the silent output";
    std::ifstream in(pipe_, std::ios::binary);
    const std::string content{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(content, "not audio");
}

} // namespace
} // namespace tembrel::test
