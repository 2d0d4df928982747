// The output for Snapcast: the mix goes into a named pipe as 48,000 Hz
// signed 16-bit little-endian stereo, Snapcast's default sample format, paced
// in real time by this process's clock exactly like the silent output. The
// output thread sleeps while nothing plays.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "playback/AudioDevice.h"
#include "playback/CpuMeter.h"
#include "playback/FifoWriter.h"
#include "playback/PcmConverter.h"

namespace tembrel::playback {

class SnapcastOutput final : public AudioDevice {
public:
    using Clock = std::chrono::steady_clock;
    // Fills `frames` interleaved stereo float frames heard `lead` from now;
    // false once nothing plays.
    using Render = std::function<bool(float* out, std::size_t frames, Clock::duration lead)>;
    using Log = std::function<void(std::string_view)>;

    static constexpr int kPipeRate = 48000;
    // Frames mixed per write, at the mixing rate: about ten writes a second,
    // as the silent output pulls. The pipe holds one such period ahead of
    // the reader, so that it never runs dry between two writes.
    static constexpr std::size_t kPeriodFrames = 4096;
    // The output thread's name, as tools such as top show it.
    static constexpr const char* kThreadName = "snapcast-out";

    // Makes the pipe when it is missing and starts the output thread, asleep
    // until wake(). Returns nullptr with `error` set when the pipe cannot be
    // used. `log` is called from the output thread.
    [[nodiscard]] static std::unique_ptr<SnapcastOutput> open(const std::string& path, int mixRate,
                                                              Render render, Log log, CpuMeter& cpu,
                                                              std::string& error);
    ~SnapcastOutput() override;

    [[nodiscard]] bool wake() override;

private:
    SnapcastOutput(const std::string& path, int mixRate, Render render, Log log, CpuMeter& cpu,
                   std::unique_ptr<PcmConverter> converter);

    void run();
    // Mixes and writes one period after another until nothing plays.
    void playUntilIdle();
    // Before a period is mixed: notices a reader coming or going, and gives
    // the pipe its lead when a reader comes or the music `resumed`. True when
    // the period goes into the pipe.
    [[nodiscard]] bool prepareForPeriod(bool resumed);
    void writeSilence(std::size_t bytes);
    [[nodiscard]] std::size_t periodBytes() const noexcept;
    [[nodiscard]] Clock::duration queuedTime() const noexcept;
    // False when the output is closing.
    [[nodiscard]] bool sleepUntil(Clock::time_point deadline);

    const int mixRate_;
    const Clock::duration period_;
    Render render_;
    CpuMeter& cpu_;
    std::unique_ptr<PcmConverter> converter_; // output thread only
    FifoWriter writer_;                       // output thread only
    std::vector<std::uint8_t> silence_;       // output thread only

    std::mutex mutex_; // guards woken_ and quit_
    std::condition_variable wakeUp_;
    bool woken_ = false;
    bool quit_ = false;

    std::thread thread_; // last: starts once everything above exists
};

} // namespace tembrel::playback
