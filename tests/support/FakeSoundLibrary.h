#pragma once

// A scripted sound library with a virtual clock, for unit tests of the sound
// engine, the play queue, the tag reader and the commands built on them.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "playback/SoundLibrary.h"

namespace tembrel::test {

// Files "exist" only once registered with addFile(); opening anything else
// fails with kErrFileNotFound; opening for playback also needs a successful
// init() (kErrUninitialized otherwise). Streams move only when the test calls
// advance(). A stream that reaches its length stops and its end callback runs
// synchronously inside advance(), once per stream; the callback may close
// streams and open new ones.
//
// Every call that changes something is appended to calls() as one line:
//   "version"                        "init 44100 32 0"        "close"
//   "setStreamBufferSize 1000"       "setSpectrumActive 1"
//   "open <path> playback|info"      "setEndCallback <stream>"
//   "play <channel> <stream>"        "stop <stream>"          "closeStream <stream>"
//   "setVolume <channel> <volume>"   "setTime <stream> <ms>"
// Queries (lastError, times, lengths, tags, spectrum, CPU) are not logged.
class FakeSoundLibrary final : public playback::SoundLibrary {
public:
    struct File {
        int lengthMs = 0;
        std::vector<playback::TagField> tags;
        // Non-zero: opening fails with this error code.
        int openError = playback::kErrNone;
        // Non-zero: playing fails (-1) with this error code.
        int playError = playback::kErrNone;
        // The library cannot report how many tag fields there are.
        bool tagCountUnavailable = false;
    };

    struct Stream {
        std::string path;
        playback::OpenPurpose purpose = playback::OpenPurpose::Playback;
        int positionMs = 0;
        int lengthMs = 0;
        bool playing = false;
        bool ended = false;
        int volume = -1;
        std::function<void()> endCallback;
    };

    // Registers (or replaces) a file; the reference stays valid until the
    // next addFile/removeFile and may be used to script it further.
    File& addFile(const std::string& path, int lengthMs, std::vector<playback::TagField> tags = {});
    void removeFile(const std::string& path) { files_.erase(path); }

    void setVersion(float version) noexcept { version_ = version; }
    // init() then fails with `error`.
    void failInit(int error) noexcept { initError_ = error; }
    void setSpectrum(const playback::Spectrum& spectrum) noexcept { spectrum_ = spectrum; }
    void setCpuUsage(float percent) noexcept { cpuUsage_ = percent; }

    // Moves every playing stream forward by `milliseconds` of virtual time,
    // firing end callbacks in the order the streams reach their ends.
    void advance(int milliseconds);

    [[nodiscard]] const std::vector<std::string>& calls() const noexcept { return calls_; }
    void clearCalls() noexcept { calls_.clear(); }
    [[nodiscard]] int openStreamCount() const noexcept { return static_cast<int>(streams_.size()); }
    [[nodiscard]] int openStreamCount(playback::OpenPurpose purpose) const noexcept;
    // nullptr when the handle is not open.
    [[nodiscard]] const Stream* findStream(playback::StreamHandle handle) const;
    // The path of the most recently opened playback stream that still plays.
    [[nodiscard]] std::string playingPath() const;
    [[nodiscard]] int channelVolume(int channel) const;

    // SoundLibrary
    [[nodiscard]] float version() const override;
    [[nodiscard]] bool init(int mixRate, int maxChannels, unsigned flags) override;
    void close() override;
    [[nodiscard]] bool isInitialized() const override { return initialized_; }
    [[nodiscard]] int lastError() const override { return lastError_; }
    void setStreamBufferSize(int milliseconds) override;
    void setSpectrumActive(bool active) override;
    [[nodiscard]] playback::StreamHandle
    openStream(const std::string& path,
               playback::OpenPurpose purpose = playback::OpenPurpose::Playback) override;
    void setEndCallback(playback::StreamHandle stream, std::function<void()> callback) override;
    int playStream(int channel, playback::StreamHandle stream) override;
    bool stopStream(playback::StreamHandle stream) override;
    bool closeStream(playback::StreamHandle stream) override;
    bool setVolume(int channel, int volume) override;
    [[nodiscard]] int streamTime(playback::StreamHandle stream) const override;
    bool setStreamTime(playback::StreamHandle stream, int milliseconds) override;
    [[nodiscard]] int streamLengthMs(playback::StreamHandle stream) const override;
    [[nodiscard]] std::optional<std::string> findTagField(playback::StreamHandle stream, int type,
                                                          std::string_view name) const override;
    [[nodiscard]] std::optional<int> tagFieldCount(playback::StreamHandle stream) const override;
    [[nodiscard]] std::optional<playback::TagField> tagField(playback::StreamHandle stream,
                                                             int index) const override;
    bool readSpectrum(playback::Spectrum& out) const override;
    [[nodiscard]] float cpuUsage() const override { return cpuUsage_; }

private:
    // Bounds advance() when callbacks keep starting streams of zero length.
    static constexpr int kMaxEndsPerAdvance = 10000;

    Stream* stream(playback::StreamHandle handle);
    const File* fileOf(playback::StreamHandle handle) const;
    void log(std::string line) const { calls_.push_back(std::move(line)); }

    std::map<std::string, File> files_;
    std::map<playback::StreamHandle, Stream> streams_;
    std::map<int, int> channelVolumes_;
    mutable std::vector<std::string> calls_;
    mutable int lastError_ = playback::kErrNone;
    playback::StreamHandle nextHandle_ = 1;
    playback::Spectrum spectrum_{};
    float version_ = 3.74f;
    float cpuUsage_ = 0.0f;
    int initError_ = playback::kErrNone;
    bool initialized_ = false;
    bool spectrumActive_ = false;
};

} // namespace tembrel::test
