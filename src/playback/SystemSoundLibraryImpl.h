// The real sound library's class, shared by the files that implement it:
// lifecycle and playback control in SystemSoundLibrary.cpp, the stream table
// and tags in SystemSoundLibraryStreams.cpp.
#pragma once

#include <QObject>
#include <QTimer>

#include <atomic>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "playback/AudioDevice.h"
#include "playback/CpuMeter.h"
#include "playback/Mixer.h"
#include "playback/PlaybackStream.h"
#include "playback/PreparedFiles.h"
#include "playback/SdlOutput.h"
#include "playback/SpectrumAnalyzer.h"
#include "playback/SystemSoundLibrary.h"

namespace tembrel::playback {

// This layer offers everything callers of the 3.74 interface rely on.
inline constexpr float kSystemLibraryVersion = 3.74f;
inline constexpr int kDefaultStreamBufferMs = 1000;
// The output device stays open this long after the last stream stopped: the
// sound already handed to it plays out and the spectrum falls to silence as
// before; then it is closed so that no audio thread wakes while nothing plays.
inline constexpr std::chrono::milliseconds kOutputIdleDelay{1000};

struct OpenStream {
    std::string path;
    int lengthMs = 0;
    std::optional<std::vector<TagField>> tags; // read on first use for playback streams
    std::unique_ptr<PlaybackStream> playback;  // none for information-only streams
    std::function<void()> onEnd;
};

class SystemSoundLibrary final : public SoundLibrary {
public:
    SystemSoundLibrary(OutputSettings settings, std::function<void(std::string_view)> log)
        : settings_(std::move(settings)), log_(std::move(log)),
          mainThread_(std::make_unique<QObject>()) {}
    ~SystemSoundLibrary() override { close(); }
    SystemSoundLibrary(const SystemSoundLibrary&) = delete;
    SystemSoundLibrary& operator=(const SystemSoundLibrary&) = delete;

    float version() const override { return kSystemLibraryVersion; }
    bool init(int mixRate, int maxChannels, unsigned flags) override;
    void close() override;
    bool isInitialized() const override { return output_ != nullptr; }
    int lastError() const override { return error_; }
    void setStreamBufferSize(int milliseconds) override;
    void setSpectrumActive(bool active) override;

    StreamHandle openStream(const std::string& path, OpenPurpose purpose) override;
    void prepareFile(const std::string& path, OpenPurpose purpose) override;
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
    // What reading the file found: read ahead on a worker, or read now.
    [[nodiscard]] std::unique_ptr<PreparedFile> readForOpen(const std::string& path,
                                                            bool forPlayback);
    StreamHandle store(OpenStream stream);
    // The device chosen by the settings, pulling from mixer_.
    std::unique_ptr<AudioDevice> openOutput(int mixRate);
    // Main thread: opens the output again if it was closed for idleness;
    // false when it cannot be opened.
    [[nodiscard]] bool wakeOutput();
    // Main thread: after a stream was stopped, closes the output once
    // kOutputIdleDelay has passed with nothing playing.
    void outputMayIdle();
    // Main thread: hands an end notice from the output thread to the stream's callback.
    void deliverEnd(StreamHandle stream, std::uint64_t generation);

    OutputSettings settings_;
    std::function<void(std::string_view)> log_;
    mutable int error_ = kErrNone;
    int bufferMs_ = kDefaultStreamBufferMs;
    // Also read by workers preparing files.
    std::atomic<int> mixRate_ = 0;
    bool spectrumActive_ = false;
    StreamHandle nextHandle_ = 1;

    // Receives the end notices queued from the output thread.
    std::unique_ptr<QObject> mainThread_;
    QTimer outputIdle_;
    mutable CpuMeter cpu_;
    std::unique_ptr<SpectrumAnalyzer> spectrum_;
    std::unique_ptr<Mixer> mixer_;
    mutable std::map<StreamHandle, OpenStream> streams_;
    PreparedFiles prepared_;
    std::unique_ptr<AudioDevice> output_; // last: its thread uses everything above
};

} // namespace tembrel::playback
