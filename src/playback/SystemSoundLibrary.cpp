// The real sound library: FFmpeg decoding on one thread per playback stream,
// SDL2 output, FFTW spectrum, TagLib tags. Every public call runs on the main
// thread; the audio threads reach it only through queued end notices. This
// file holds the lifecycle and the playback controls.
#include "playback/SystemSoundLibraryImpl.h"

#include <QMetaObject>

#include <algorithm>
#include <chrono>

#include "playback/SnapcastOutput.h"

#include "protocol/ProtocolConstants.h"

namespace tembrel::playback {

namespace {

constexpr int kMinMixRate = 8000;
constexpr int kMaxMixRate = 192000;
constexpr int kMaxChannels = 256;
// The decode-ahead ring must hold several output buffers, and is bounded so a
// caller cannot make it take unbounded memory.
constexpr int kMinBufferMs = 250;
constexpr int kMaxBufferMs = 10000;
constexpr int kFreeChannel = -1;

} // namespace

bool SystemSoundLibrary::init(int mixRate, int maxChannels, unsigned /*flags*/) {
    if (isInitialized()) {
        return fail(kErrBusy);
    }
    if (mixRate < kMinMixRate || mixRate > kMaxMixRate || maxChannels < 1 ||
        maxChannels > kMaxChannels) {
        return fail(kErrInvalidParam);
    }
    mixRate_ = mixRate;
    spectrum_ = std::make_unique<SpectrumAnalyzer>(
        mixRate, std::max<std::size_t>(SdlOutput::kBufferFrames, SnapcastOutput::kPeriodFrames),
        std::chrono::milliseconds(settings_.spectrumDelayMs));
    spectrum_->setActive(spectrumActive_);
    // The notice crosses to the main thread as a queued call; mainThread_ is
    // destroyed only after the output has stopped, so it outlives every post.
    auto notice = [this](StreamHandle stream, std::uint64_t generation) {
        QMetaObject::invokeMethod(
            mainThread_.get(), [this, stream, generation] { deliverEnd(stream, generation); },
            Qt::QueuedConnection);
    };
    mixer_ = std::make_unique<Mixer>(maxChannels, std::move(notice), *spectrum_, cpu_);
    output_ = openOutput(mixRate);
    if (!output_) {
        mixer_.reset();
        spectrum_.reset();
        return fail(kErrInitialization);
    }
    outputIdle_.setSingleShot(true);
    outputIdle_.callOnTimeout(mainThread_.get(), [this] {
        if (output_ && mixer_->idle()) {
            output_->rest();
        }
    });
    outputMayIdle();
    return true;
}

std::unique_ptr<AudioDevice> SystemSoundLibrary::openOutput(int mixRate) {
    Mixer& mixer = *mixer_;
    AudioOutput device = settings_.output;
    if (device == AudioOutput::Snapcast) {
        std::string error;
        auto pipe = SnapcastOutput::open(
            settings_.snapcastPipe, mixRate,
            [&mixer](float* out, std::size_t frames, SnapcastOutput::Clock::duration lead) {
                return mixer.render(out, frames, lead);
            },
            log_, cpu_, error);
        if (pipe) {
            return pipe;
        }
        if (log_) {
            log_(error + "; playing through the silent output instead");
        }
        device = AudioOutput::Null;
    }
    return SdlOutput::open(
        device, mixRate,
        [&mixer](float* out, std::size_t frames) { static_cast<void>(mixer.render(out, frames)); },
        log_);
}

bool SystemSoundLibrary::wakeOutput() {
    outputIdle_.stop();
    return output_->wake();
}

void SystemSoundLibrary::outputMayIdle() {
    if (output_ && mixer_->idle()) {
        outputIdle_.start(kOutputIdleDelay);
    }
}

void SystemSoundLibrary::close() {
    outputIdle_.stop();
    outputIdle_.disconnect();
    output_.reset();  // no output callback runs after this
    streams_.clear(); // joins the decoder threads
    prepared_.clear();
    mixer_.reset();
    spectrum_.reset();
}

void SystemSoundLibrary::setStreamBufferSize(int milliseconds) {
    if (milliseconds <= 0) {
        fail(kErrInvalidParam);
        return;
    }
    bufferMs_ = std::clamp(milliseconds, kMinBufferMs, kMaxBufferMs);
}

void SystemSoundLibrary::setSpectrumActive(bool active) {
    spectrumActive_ = active;
    if (spectrum_) {
        spectrum_->setActive(active);
    }
}

void SystemSoundLibrary::setEndCallback(StreamHandle stream, std::function<void()> callback) {
    if (OpenStream* open = find(stream)) {
        open->onEnd = std::move(callback);
    }
}

int SystemSoundLibrary::playStream(int channel, StreamHandle stream) {
    if (!isInitialized()) {
        fail(kErrUninitialized);
        return -1;
    }
    OpenStream* open = find(stream);
    if (open == nullptr) {
        return -1;
    }
    if (!open->playback) {
        fail(kErrPlay); // opened for its tags only
        return -1;
    }
    if (channel == kFreeChannel) {
        channel = mixer_->freeChannel();
        if (channel < 0) {
            fail(kErrChannelAlloc);
            return -1;
        }
    } else if (!mixer_->isChannel(channel)) {
        fail(kErrInvalidParam);
        return -1;
    }
    if (open->playback->ended()) {
        open->playback->seek(0); // a stream that played to its end starts again
    }
    // Woken once the stream is attached: an output that sleeps while nothing
    // plays must find it on its first pull.
    mixer_->attach(channel, *open->playback);
    if (!wakeOutput()) {
        mixer_->detach(*open->playback);
        fail(kErrPlay); // the output device could not be opened again
        return -1;
    }
    return channel;
}

bool SystemSoundLibrary::stopStream(StreamHandle stream) {
    OpenStream* open = find(stream);
    if (open == nullptr) {
        return false;
    }
    if (open->playback && mixer_) {
        mixer_->detach(*open->playback);
        outputMayIdle();
    }
    return true;
}

bool SystemSoundLibrary::setVolume(int channel, int volume) {
    if (!isInitialized()) {
        return fail(kErrUninitialized);
    }
    if (!mixer_->isChannel(channel) || volume < 0 || volume > protocol::kMaxVolume) {
        return fail(kErrInvalidParam);
    }
    mixer_->setGain(channel, static_cast<float>(volume) / protocol::kMaxVolume);
    return true;
}

int SystemSoundLibrary::streamTime(StreamHandle stream) const {
    const OpenStream* open = find(stream);
    return open != nullptr && open->playback ? open->playback->positionMs() : 0;
}

bool SystemSoundLibrary::setStreamTime(StreamHandle stream, int milliseconds) {
    OpenStream* open = find(stream);
    if (open == nullptr) {
        return false;
    }
    if (!open->playback || milliseconds < 0) {
        return fail(kErrInvalidParam);
    }
    // Past the end is the end: the stream finishes at once.
    open->playback->seek(open->lengthMs > 0 ? std::min(milliseconds, open->lengthMs)
                                            : milliseconds);
    if (output_ && !mixer_->idle()) {
        // A stream that had played to its end may play again.
        static_cast<void>(wakeOutput());
    }
    return true;
}

bool SystemSoundLibrary::readSpectrum(Spectrum& out) const {
    if (!spectrum_) {
        return fail(kErrUninitialized);
    }
    if (!spectrum_->active()) {
        out.fill(0.0f);
        return true;
    }
    spectrum_->compute(out, SpectrumAnalyzer::Clock::now());
    return true;
}

float SystemSoundLibrary::cpuUsage() const {
    return isInitialized() ? cpu_.percent() : 0.0f;
}

void SystemSoundLibrary::deliverEnd(StreamHandle stream, std::uint64_t generation) {
    const auto found = streams_.find(stream);
    if (found == streams_.end() || !found->second.playback ||
        found->second.playback->generation() != generation || !found->second.onEnd) {
        return; // closed, or moved by a seek since it ended
    }
    // The callback may close this very stream (the play queue moves on), so it
    // runs from a copy.
    const std::function<void()> onEnd = found->second.onEnd;
    onEnd();
}

std::unique_ptr<SoundLibrary> createSystemSoundLibrary(OutputSettings settings,
                                                       std::function<void(std::string_view)> log) {
    return std::make_unique<SystemSoundLibrary>(std::move(settings), std::move(log));
}

std::unique_ptr<SoundLibrary> createSystemSoundLibrary(AudioOutput output,
                                                       std::function<void(std::string_view)> log) {
    return createSystemSoundLibrary(OutputSettings{output, {}, 0}, std::move(log));
}

} // namespace tembrel::playback
