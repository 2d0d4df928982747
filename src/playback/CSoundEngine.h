#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "playback/PlayState.h"
#include "playback/SoundLibrary.h"

namespace tembrel::playback {

// The system's thin layer over the sound library: the one open stream, the
// play channel and volume, the play state, start and shutdown.
class CSoundEngine {
public:
    static constexpr int kPlayChannel = 1;
    static constexpr int kDefaultVolume = 128;
    static constexpr float kRequiredVersion = 3.74f;

    // Shown to the local user; never blocks. caption is "Loading a song" or
    // "Playing a song". Default: one line "caption: text" on the console sink.
    using NoticeSink = std::function<void(std::string_view caption, std::string_view text)>;
    // Lines that the original writes to standard output (default: stdout).
    using ConsoleSink = std::function<void(std::string_view text)>;

    explicit CSoundEngine(SoundLibrary& library);
    // Releases the open stream, so the library never calls back into a
    // destroyed engine; the library itself stays as it is.
    ~CSoundEngine();
    CSoundEngine(const CSoundEngine&) = delete;
    CSoundEngine& operator=(const CSoundEngine&) = delete;

    void setNoticeSink(NoticeSink sink) { noticeSink_ = std::move(sink); }
    void setConsoleSink(ConsoleSink sink) { consoleSink_ = std::move(sink); }
    // What runs when the playing stream reaches its end (the play queue's advance).
    void setStreamEndHandler(std::function<void()> handler) {
        streamEndHandler_ = std::move(handler);
    }

    void start();
    void shutdown();
    // Stops and closes the current stream, opens and plays `path`; true when
    // it plays.
    bool playFile(const std::string& path);
    [[nodiscard]] static std::string_view soundErrorText(int code) noexcept;

    [[nodiscard]] StreamHandle stream() const noexcept { return stream_; }
    [[nodiscard]] int volume() const noexcept { return volume_; }
    void setVolume(int volume) noexcept { volume_ = volume; }
    [[nodiscard]] PlayState playState() const noexcept { return playState_; }
    void setPlayState(PlayState state) noexcept { playState_ = state; }
    // Whether start() initialised the library, so the spectrum may be read.
    [[nodiscard]] bool spectrumAvailable() const noexcept { return started_; }
    [[nodiscard]] SoundLibrary& library() noexcept { return library_; }
    [[nodiscard]] const SoundLibrary& library() const noexcept { return library_; }

private:
    void releaseStream();
    void writeConsole(std::string_view text) const;
    void showNotice(std::string_view caption, int errorCode) const;

    SoundLibrary& library_;
    NoticeSink noticeSink_;
    ConsoleSink consoleSink_;
    std::function<void()> streamEndHandler_;
    StreamHandle stream_ = kNoStream;
    int volume_ = kDefaultVolume;
    PlayState playState_ = PlayState::Stopped;
    bool started_ = false;
};

} // namespace tembrel::playback
