// Decode-ahead ring and decoder thread of one playback stream.
#include "playback/PlaybackStream.h"

#include <algorithm>

namespace tembrel::playback {

namespace {

constexpr std::size_t kChannels = FfmpegDecoder::kOutputChannels;

} // namespace

PlaybackStream::PlaybackStream(StreamHandle handle, std::unique_ptr<FfmpegDecoder> decoder,
                               std::size_t ringFrames, CpuMeter& cpu)
    : handle_(handle), lengthMs_(decoder->lengthMs()), rate_(decoder->outputRate()),
      capacity_(ringFrames), refillThreshold_(ringFrames / 2), cpu_(cpu),
      decoder_(std::move(decoder)), ring_(ringFrames * kChannels, 0.0f),
      thread_([this] { decodeLoop(); }) {}

PlaybackStream::~PlaybackStream() {
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

int PlaybackStream::positionMs() const {
    const std::lock_guard lock(mutex_);
    return static_cast<int>(position_ * 1000 / rate_);
}

bool PlaybackStream::ended() const {
    const std::lock_guard lock(mutex_);
    return ended_;
}

std::uint64_t PlaybackStream::generation() const {
    const std::lock_guard lock(mutex_);
    return generation_;
}

void PlaybackStream::seek(int milliseconds) {
    {
        const std::lock_guard lock(mutex_);
        ++generation_;
        seekPending_ = true;
        seekTargetMs_ = milliseconds;
        filled_ = 0;
        readFrame_ = 0;
        position_ = static_cast<std::int64_t>(milliseconds) * rate_ / 1000;
        decodedAll_ = false;
        ended_ = false;
    }
    wake_.notify_one();
}

PlaybackStream::Pull PlaybackStream::mixInto(float* out, std::size_t frames, float gain) noexcept {
    Pull pull;
    bool wakeDecoder = false;
    {
        const std::lock_guard lock(mutex_);
        if (ended_) {
            return pull;
        }
        pull.playing = true;
        const std::size_t freeBefore = freeFrames();
        std::size_t taken = 0;
        while (taken < frames && filled_ > 0) {
            const std::size_t run = std::min({frames - taken, filled_, capacity_ - readFrame_});
            const float* source = ring_.data() + readFrame_ * kChannels;
            float* target = out + taken * kChannels;
            for (std::size_t i = 0; i < run * kChannels; ++i) {
                target[i] += gain * source[i];
            }
            taken += run;
            filled_ -= run;
            readFrame_ = (readFrame_ + run) % capacity_;
        }
        position_ += static_cast<std::int64_t>(taken);
        // Wake the decoder only when the ring crosses its refill mark, so it
        // works in large chunks and sleeps in between.
        wakeDecoder =
            !decodedAll_ && freeBefore < refillThreshold_ && freeFrames() >= refillThreshold_;
        if (filled_ == 0 && decodedAll_ && !seekPending_) {
            ended_ = true;
            pull.endedNow = true;
            pull.generation = generation_;
        }
    }
    if (wakeDecoder) {
        wake_.notify_one();
    }
    return pull;
}

void PlaybackStream::pushLocked(const std::vector<float>& samples) noexcept {
    const std::size_t frames = std::min(samples.size() / kChannels, freeFrames());
    std::size_t writeFrame = (readFrame_ + filled_) % capacity_;
    std::size_t done = 0;
    while (done < frames) {
        const std::size_t run = std::min(frames - done, capacity_ - writeFrame);
        std::copy_n(samples.data() + done * kChannels, run * kChannels,
                    ring_.data() + writeFrame * kChannels);
        done += run;
        filled_ += run;
        writeFrame = (writeFrame + run) % capacity_;
    }
}

void PlaybackStream::decodeLoop() {
    std::vector<float> chunk;
    chunk.reserve(capacity_ * kChannels);
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] {
            return quit_ || seekPending_ || (!decodedAll_ && freeFrames() >= refillThreshold_);
        });
        if (quit_) {
            return;
        }
        const std::uint64_t generation = generation_;
        const bool seeking = seekPending_;
        const int target = seekTargetMs_;
        const std::size_t wanted = freeFrames();
        seekPending_ = false;
        lock.unlock();

        FfmpegDecoder::Status status = FfmpegDecoder::Status::Ok;
        chunk.clear();
        {
            const CpuMeter::Scope busy(cpu_);
            if (seeking) {
                decoder_->seek(target);
            }
            status = decoder_->decode(chunk, wanted);
        }

        lock.lock();
        if (generation != generation_) {
            continue; // a seek came in meanwhile: this chunk belongs to the old position
        }
        pushLocked(chunk);
        decodedAll_ = status == FfmpegDecoder::Status::EndOfStream;
    }
}

} // namespace tembrel::playback
