#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "playback/PlayState.h"
#include "playback/SoundLibrary.h"
#include "protocol/ProtocolConstants.h"

namespace tembrel::playback {

// The system's layer over the sound library: the one open stream, the play
// channel and volume, the play state, start and shutdown, and the transport
// operations that change them (pause and resume, stop, seeking, volume).
class CSoundEngine {
public:
    static constexpr int kPlayChannel = 1;
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

    // Transport operations. Sound library failures are not examined: playback
    // goes on in whatever state the library is in.
    //
    // Playing: saves the position, stops the stream, Paused. Paused: plays the
    // stream again at the saved position and volume, Playing. Stopped: nothing.
    void pauseOrResume();
    // Stops the stream in every state; it stays open until the next play.
    void stop();
    // Moves the position by `offsetMs` within the track. Forward always (the
    // length is not checked); back only when the position is past the step.
    void seekBy(int offsetMs);
    // While Playing, jumps to `fraction` (0 to 1) of the track's length.
    void seekToFraction(float fraction);
    // Changes the volume by `delta`, kept within the volume range, and
    // applies it to the play channel.
    void stepVolume(int delta);
    // Silences the play channel and sets the volume to 0 (not a toggle).
    void mute();

    [[nodiscard]] StreamHandle stream() const noexcept { return stream_; }
    [[nodiscard]] int volume() const noexcept { return volume_; }
    // The stored volume (settings), used from the next play on.
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
    int volume_ = protocol::kDefaultVolume;
    // The position "Pause" saved and resuming restores, in milliseconds.
    int pausedPositionMs_ = 0;
    PlayState playState_ = PlayState::Stopped;
    bool started_ = false;
};

} // namespace tembrel::playback
