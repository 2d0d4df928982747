// Decodes one audio file with FFmpeg into interleaved stereo float samples at
// the output rate, with sample-exact seeking. Used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "playback/SoundLibrary.h"

namespace tembrel::playback {

class FfmpegDecoder {
public:
    static constexpr int kOutputChannels = 2;

    enum class Status { Ok, EndOfStream };

    // Opens `path` for decoding at `outputRate`. On failure returns nullptr and
    // sets `error` to one of the sound library's error codes.
    [[nodiscard]] static std::unique_ptr<FfmpegDecoder> open(const std::string& path,
                                                             int outputRate, int& error);
    // Reads the container header for the length in ms, probing the streams only
    // when the header has no duration. Returns -1 and sets `error` when the file
    // cannot be read.
    [[nodiscard]] static int probeLengthMs(const std::string& path, int& error);

    ~FfmpegDecoder();
    FfmpegDecoder(const FfmpegDecoder&) = delete;
    FfmpegDecoder& operator=(const FfmpegDecoder&) = delete;

    [[nodiscard]] int lengthMs() const noexcept { return lengthMs_; }
    [[nodiscard]] int outputRate() const noexcept { return outputRate_; }

    // Appends up to `maxFrames` frames (kOutputChannels floats each) to `out`.
    // Returns EndOfStream once the last frame has been delivered.
    [[nodiscard]] Status decode(std::vector<float>& out, std::size_t maxFrames);
    // Moves to `milliseconds` from the first sample; the next decode starts there.
    void seek(std::int64_t milliseconds);

private:
    struct Context;
    explicit FfmpegDecoder(std::unique_ptr<Context> context, int outputRate, int lengthMs) noexcept;

    // Decodes the next packet into pending_; false at the end of the file.
    [[nodiscard]] bool refill();
    void convertFrame();

    std::unique_ptr<Context> context_;
    int outputRate_;
    int lengthMs_;
    std::vector<float> pending_;    // converted frames not yet handed out
    std::size_t pendingOffset_ = 0; // in floats
    std::int64_t skipUntil_ = -1;   // output frame index to discard up to, after a seek
    bool draining_ = false;         // the demuxer is exhausted, the codec is being flushed
    bool finished_ = false;
};

} // namespace tembrel::playback
