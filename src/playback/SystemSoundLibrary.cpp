// The real sound library: FFmpeg decoding on one thread per playback stream,
// SDL2 output, FFTW spectrum, TagLib tags. Every public call runs on the main
// thread; the audio threads reach it only through queued end notices.
#include "playback/SystemSoundLibrary.h"

#include <QMetaObject>
#include <QObject>

#include <filesystem>
#include <map>
#include <new>
#include <system_error>

#include "playback/CpuMeter.h"
#include "playback/FfmpegDecoder.h"
#include "playback/Mixer.h"
#include "playback/PlaybackStream.h"
#include "playback/SdlOutput.h"
#include "playback/SpectrumAnalyzer.h"
#include "playback/TagFields.h"

namespace tembrel::playback {

namespace {

// This layer offers everything callers of the 3.74 interface rely on.
constexpr float kVersion = 3.74f;
constexpr int kMinMixRate = 8000;
constexpr int kMaxMixRate = 192000;
constexpr int kMaxChannels = 256;
constexpr int kMaxVolume = 255;
constexpr int kDefaultBufferMs = 1000;
// The decode-ahead ring must hold several output buffers, and is bounded so a
// caller cannot make it take unbounded memory.
constexpr int kMinBufferMs = 250;
constexpr int kMaxBufferMs = 10000;
constexpr int kFreeChannel = -1;

struct OpenStream {
    std::string path;
    int lengthMs = 0;
    std::optional<std::vector<TagField>> tags; // read on first use for playback streams
    std::unique_ptr<PlaybackStream> playback;  // none for information-only streams
    std::function<void()> onEnd;
};

class SystemSoundLibrary final : public SoundLibrary {
public:
    SystemSoundLibrary(AudioOutput output, std::function<void(std::string_view)> log)
        : output_(output), log_(std::move(log)), mainThread_(std::make_unique<QObject>()) {}
    ~SystemSoundLibrary() override { close(); }
    SystemSoundLibrary(const SystemSoundLibrary&) = delete;
    SystemSoundLibrary& operator=(const SystemSoundLibrary&) = delete;

    float version() const override { return kVersion; }
    bool init(int mixRate, int maxChannels, unsigned flags) override;
    void close() override;
    bool isInitialized() const override { return sdl_ != nullptr; }
    int lastError() const override { return error_; }
    void setStreamBufferSize(int milliseconds) override;
    void setSpectrumActive(bool active) override;

    StreamHandle openStream(const std::string& path, OpenPurpose purpose) override;
    void setEndCallback(StreamHandle stream, std::function<void()> callback) override;
    int playStream(int channel, StreamHandle stream) override;
    bool stopStream(StreamHandle stream) override;
    bool closeStream(StreamHandle stream) override;
    bool setVolume(int channel, int volume) override;
    int streamTime(StreamHandle stream) const override;
    bool setStreamTime(StreamHandle stream, int milliseconds) override;
    int streamLengthMs(StreamHandle stream) const override;

    std::optional<std::string> findTagField(StreamHandle stream, int type,
                                            std::string_view name) const override;
    std::optional<int> tagFieldCount(StreamHandle stream) const override;
    std::optional<TagField> tagField(StreamHandle stream, int index) const override;

    bool readSpectrum(Spectrum& out) const override;
    float cpuUsage() const override;

private:
    bool fail(int code) const {
        error_ = code;
        return false;
    }
    OpenStream* find(StreamHandle stream) const;
    const std::vector<TagField>* tagsOf(StreamHandle stream) const;
    StreamHandle openInformation(const std::string& path);
    StreamHandle openPlayback(const std::string& path);
    StreamHandle store(OpenStream stream);
    // Main thread: hands an end notice from the output thread to the stream's callback.
    void deliverEnd(StreamHandle stream, std::uint64_t generation);

    AudioOutput output_;
    std::function<void(std::string_view)> log_;
    mutable int error_ = kErrNone;
    int bufferMs_ = kDefaultBufferMs;
    int mixRate_ = 0;
    bool spectrumActive_ = false;
    StreamHandle nextHandle_ = 1;

    // Receives the end notices queued from the output thread.
    std::unique_ptr<QObject> mainThread_;
    mutable CpuMeter cpu_;
    std::unique_ptr<SpectrumAnalyzer> spectrum_;
    std::unique_ptr<Mixer> mixer_;
    mutable std::map<StreamHandle, OpenStream> streams_;
    std::unique_ptr<SdlOutput> sdl_; // last: its callback uses everything above
};

OpenStream* SystemSoundLibrary::find(StreamHandle stream) const {
    const auto found = streams_.find(stream);
    if (found == streams_.end()) {
        error_ = kErrInvalidParam;
        return nullptr;
    }
    return &found->second;
}

bool SystemSoundLibrary::init(int mixRate, int maxChannels, unsigned /*flags*/) {
    if (isInitialized()) {
        return fail(kErrBusy);
    }
    if (mixRate < kMinMixRate || mixRate > kMaxMixRate || maxChannels < 1 ||
        maxChannels > kMaxChannels) {
        return fail(kErrInvalidParam);
    }
    mixRate_ = mixRate;
    spectrum_ = std::make_unique<SpectrumAnalyzer>(mixRate, SdlOutput::kBufferFrames);
    spectrum_->setActive(spectrumActive_);
    // The notice crosses to the main thread as a queued call; mainThread_ is
    // destroyed only after the output has stopped, so it outlives every post.
    auto notice = [this](StreamHandle stream, std::uint64_t generation) {
        QMetaObject::invokeMethod(
            mainThread_.get(), [this, stream, generation] { deliverEnd(stream, generation); },
            Qt::QueuedConnection);
    };
    mixer_ = std::make_unique<Mixer>(maxChannels, std::move(notice), *spectrum_, cpu_);
    Mixer& mixer = *mixer_;
    sdl_ = SdlOutput::open(
        output_, mixRate, [&mixer](float* out, std::size_t frames) { mixer.render(out, frames); },
        log_);
    if (!sdl_) {
        mixer_.reset();
        spectrum_.reset();
        return fail(kErrInitialization);
    }
    return true;
}

void SystemSoundLibrary::close() {
    sdl_.reset();     // no output callback runs after this
    streams_.clear(); // joins the decoder threads
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

StreamHandle SystemSoundLibrary::store(OpenStream stream) {
    const StreamHandle handle = nextHandle_++;
    if (nextHandle_ <= kNoStream) {
        nextHandle_ = kNoStream + 1;
    }
    streams_.emplace(handle, std::move(stream));
    return handle;
}

StreamHandle SystemSoundLibrary::openStream(const std::string& path, OpenPurpose purpose) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) {
        fail(kErrFileNotFound);
        return kNoStream;
    }
    if (!std::filesystem::is_regular_file(status)) {
        fail(kErrFileBad);
        return kNoStream;
    }
    try {
        return purpose == OpenPurpose::Playback ? openPlayback(path) : openInformation(path);
    } catch (const std::bad_alloc&) {
        fail(kErrMemory);
    } catch (const std::system_error&) {
        fail(kErrFileBad); // the decoder thread could not be started
    }
    return kNoStream;
}

StreamHandle SystemSoundLibrary::openInformation(const std::string& path) {
    OpenStream stream{path, 0, std::nullopt, nullptr, {}};
    std::optional<FileTags> tags = readFileTags(path, true);
    if (tags && tags->hasAudio) {
        stream.lengthMs = tags->lengthMs;
    } else {
        // TagLib does not know the type, or found no audio: let FFmpeg decide
        // from the container header.
        int error = kErrNone;
        const int length = FfmpegDecoder::probeLengthMs(path, error);
        if (length < 0) {
            fail(error);
            return kNoStream;
        }
        stream.lengthMs = length;
    }
    stream.tags = tags ? std::move(tags->fields) : std::vector<TagField>{};
    return store(std::move(stream));
}

StreamHandle SystemSoundLibrary::openPlayback(const std::string& path) {
    if (!isInitialized()) {
        fail(kErrUninitialized);
        return kNoStream;
    }
    int error = kErrNone;
    std::unique_ptr<FfmpegDecoder> decoder = FfmpegDecoder::open(path, mixRate_, error);
    if (!decoder) {
        fail(error);
        return kNoStream;
    }
    const int lengthMs = decoder->lengthMs();
    const auto ringFrames =
        static_cast<std::size_t>(bufferMs_) * static_cast<std::size_t>(mixRate_) / 1000;
    const StreamHandle handle = nextHandle_;
    auto playback = std::make_unique<PlaybackStream>(handle, std::move(decoder), ringFrames, cpu_);
    return store(OpenStream{path, lengthMs, std::nullopt, std::move(playback), {}});
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
    mixer_->attach(channel, *open->playback);
    return channel;
}

bool SystemSoundLibrary::stopStream(StreamHandle stream) {
    OpenStream* open = find(stream);
    if (open == nullptr) {
        return false;
    }
    if (open->playback && mixer_) {
        mixer_->detach(*open->playback);
    }
    return true;
}

bool SystemSoundLibrary::closeStream(StreamHandle stream) {
    OpenStream* open = find(stream);
    if (open == nullptr) {
        return false;
    }
    if (open->playback && mixer_) {
        mixer_->detach(*open->playback);
    }
    streams_.erase(stream); // a queued end notice for it finds nothing
    return true;
}

bool SystemSoundLibrary::setVolume(int channel, int volume) {
    if (!isInitialized()) {
        return fail(kErrUninitialized);
    }
    if (!mixer_->isChannel(channel) || volume < 0 || volume > kMaxVolume) {
        return fail(kErrInvalidParam);
    }
    mixer_->setGain(channel, static_cast<float>(volume) / kMaxVolume);
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
    return true;
}

int SystemSoundLibrary::streamLengthMs(StreamHandle stream) const {
    const OpenStream* open = find(stream);
    return open != nullptr ? open->lengthMs : 0;
}

const std::vector<TagField>* SystemSoundLibrary::tagsOf(StreamHandle stream) const {
    OpenStream* open = find(stream);
    if (open == nullptr) {
        return nullptr;
    }
    if (!open->tags) {
        std::optional<FileTags> tags = readFileTags(open->path, false);
        open->tags = tags ? std::move(tags->fields) : std::vector<TagField>{};
    }
    return &*open->tags;
}

std::optional<std::string> SystemSoundLibrary::findTagField(StreamHandle stream, int type,
                                                            std::string_view name) const {
    if (const std::vector<TagField>* tags = tagsOf(stream)) {
        for (const TagField& field : *tags) {
            if (field.type == type && field.name == name) {
                return field.value;
            }
        }
    }
    return std::nullopt;
}

std::optional<int> SystemSoundLibrary::tagFieldCount(StreamHandle stream) const {
    if (const std::vector<TagField>* tags = tagsOf(stream)) {
        return static_cast<int>(tags->size());
    }
    return std::nullopt;
}

std::optional<TagField> SystemSoundLibrary::tagField(StreamHandle stream, int index) const {
    const std::vector<TagField>* tags = tagsOf(stream);
    if (tags == nullptr) {
        return std::nullopt;
    }
    if (index < 0 || static_cast<std::size_t>(index) >= tags->size()) {
        fail(kErrInvalidParam);
        return std::nullopt;
    }
    return (*tags)[static_cast<std::size_t>(index)];
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

} // namespace

std::unique_ptr<SoundLibrary> createSystemSoundLibrary(AudioOutput output,
                                                       std::function<void(std::string_view)> log) {
    return std::make_unique<SystemSoundLibrary>(output, std::move(log));
}

} // namespace tembrel::playback
