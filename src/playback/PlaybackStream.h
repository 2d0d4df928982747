// One stream opened for playback: a decoder thread keeps a bounded ring of
// decoded samples filled ahead, and the output callback pulls from it. The
// position counts the samples the output has taken.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "playback/CpuMeter.h"
#include "playback/FfmpegDecoder.h"
#include "playback/SoundLibrary.h"

namespace tembrel::playback {

class PlaybackStream {
public:
    // What one pull from the output saw.
    struct Pull {
        bool playing = false;         // the stream had not ended before this pull
        bool endedNow = false;        // the last sample was taken in this pull
        std::uint64_t generation = 0; // seek generation the end belongs to
    };

    PlaybackStream(StreamHandle handle, std::unique_ptr<FfmpegDecoder> decoder,
                   std::size_t ringFrames, CpuMeter& cpu);
    ~PlaybackStream();
    PlaybackStream(const PlaybackStream&) = delete;
    PlaybackStream& operator=(const PlaybackStream&) = delete;

    [[nodiscard]] StreamHandle handle() const noexcept { return handle_; }
    [[nodiscard]] int lengthMs() const noexcept { return lengthMs_; }

    // Main thread.
    [[nodiscard]] int positionMs() const;
    [[nodiscard]] bool ended() const;
    [[nodiscard]] std::uint64_t generation() const;
    // Drops what was decoded ahead and continues from `milliseconds`; cancels
    // an end that was reached but not yet delivered.
    void seek(int milliseconds);

    // Output thread: adds up to `frames` frames times `gain` to `out`.
    Pull mixInto(float* out, std::size_t frames, float gain) noexcept;

private:
    void decodeLoop();
    [[nodiscard]] std::size_t freeFrames() const noexcept { return capacity_ - filled_; }
    void pushLocked(const std::vector<float>& samples) noexcept;

    const StreamHandle handle_;
    const int lengthMs_;
    const int rate_;
    const std::size_t capacity_; // frames
    const std::size_t refillThreshold_;
    CpuMeter& cpu_;
    std::unique_ptr<FfmpegDecoder> decoder_; // used by the decoder thread only

    mutable std::mutex mutex_; // guards everything below
    std::condition_variable wake_;
    std::vector<float> ring_;
    std::size_t readFrame_ = 0;
    std::size_t filled_ = 0;
    std::int64_t position_ = 0; // frames taken by the output since the start
    std::uint64_t generation_ = 0;
    bool seekPending_ = false;
    int seekTargetMs_ = 0;
    bool decodedAll_ = false;
    bool ended_ = false;
    bool quit_ = false;

    std::thread thread_; // last: starts once everything above exists
};

} // namespace tembrel::playback
