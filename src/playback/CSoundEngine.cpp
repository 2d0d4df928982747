// The sound engine: starts and shuts down the sound library, keeps the one
// playback stream and turns library error codes into texts for the user.
#include "playback/CSoundEngine.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

namespace tembrel::playback {

namespace {

constexpr int kMixRate = 44100;
constexpr int kSoftwareChannels = 32;
constexpr unsigned kInitFlags = 0;
constexpr int kStreamBufferMs = 1000;

constexpr std::string_view kLoadingCaption = "Loading a song";
constexpr std::string_view kPlayingCaption = "Playing a song";

constexpr std::array<std::string_view, 19> kErrorTexts = {
    "No errors",
    "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.",
    "This command failed because FSOUND_Init was not called",
    "Error initializing output device.",
    "The output device is already in use and cannot be reused.",
    "Playing the sound failed.",
    "Soundcard does not support the features needed for this soundsystem (16bit stereo output)",
    "Error setting cooperative level for hardware.",
    "Error creating hardware sound buffer.",
    "File not found",
    "Unknown file format",
    "Error loading file",
    "Not enough memory ",
    "The version number of this file format is not supported",
    "An invalid parameter was passed to this function",
    "Tried to use an EAX command on a non EAX enabled channel or output.",
    "Failed to allocate a new channel",
    "Recording not supported on this device",
    "Required Mediaplayer codec is not installed",
};

// A stream position from a computed value, kept inside the 32-bit range.
[[nodiscard]] int toPosition(double milliseconds) noexcept {
    if (!(milliseconds > std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    if (milliseconds >= static_cast<double>(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    return static_cast<int>(milliseconds);
}

} // namespace

CSoundEngine::CSoundEngine(SoundLibrary& library)
    : library_(library), consoleSink_([](std::string_view text) {
          std::fwrite(text.data(), 1, text.size(), stdout);
          std::fflush(stdout);
      }) {}

CSoundEngine::~CSoundEngine() {
    releaseStream();
}

std::string_view CSoundEngine::soundErrorText(int code) noexcept {
    if (code < 0 || static_cast<std::size_t>(code) >= kErrorTexts.size()) {
        return "Unknown error";
    }
    return kErrorTexts[static_cast<std::size_t>(code)];
}

void CSoundEngine::start() {
    if (library_.version() < kRequiredVersion) {
        std::array<char, 128> line{};
        std::snprintf(line.data(), line.size(),
                      "Error : You are using the wrong DLL version!  You should be using FMOD "
                      "%.02f\n",
                      static_cast<double>(kRequiredVersion));
        writeConsole(line.data());
    }
    // The output (device or silent) was chosen when the library was created.
    started_ = library_.init(kMixRate, kSoftwareChannels, kInitFlags);
    if (!started_) {
        const int error = library_.lastError();
        writeConsole("Error!\n");
        writeConsole(std::string(soundErrorText(error)) + "\n");
        library_.close();
    }
    playState_ = PlayState::Stopped;
    library_.setStreamBufferSize(kStreamBufferMs);
    library_.setSpectrumActive(true);
    // The spectrum is read through library().readSpectrum() and only while
    // spectrumAvailable() says the library came up.
}

void CSoundEngine::shutdown() {
    releaseStream();
    library_.close();
    started_ = false;
}

bool CSoundEngine::playFile(const std::string& path) {
    releaseStream();
    stream_ = library_.openStream(path, OpenPurpose::Playback);
    if (stream_ == kNoStream) {
        showNotice(kLoadingCaption, library_.lastError());
        return false;
    }
    // A queued end notice of a stream that has since been replaced is stale.
    const StreamHandle opened = stream_;
    library_.setEndCallback(opened, [this, opened] {
        if (stream_ == opened && streamEndHandler_) {
            streamEndHandler_();
        }
    });
    if (library_.playStream(kPlayChannel, stream_) == -1) {
        showNotice(kPlayingCaption, library_.lastError());
        return false;
    }
    library_.setVolume(kPlayChannel, volume_);
    playState_ = PlayState::Playing;
    return true;
}

void CSoundEngine::pauseOrResume() {
    if (playState_ == PlayState::Playing) {
        pausedPositionMs_ = library_.streamTime(stream_);
        (void)library_.stopStream(stream_);
        playState_ = PlayState::Paused;
    } else if (playState_ == PlayState::Paused) {
        (void)library_.playStream(kPlayChannel, stream_);
        (void)library_.setVolume(kPlayChannel, volume_);
        (void)library_.setStreamTime(stream_, pausedPositionMs_);
        playState_ = PlayState::Playing;
    }
}

void CSoundEngine::stop() {
    (void)library_.stopStream(stream_);
    playState_ = PlayState::Stopped;
}

void CSoundEngine::seekBy(int offsetMs) {
    if (offsetMs < 0 && library_.streamTime(stream_) <= -static_cast<double>(offsetMs)) {
        return;
    }
    const double target = static_cast<double>(library_.streamTime(stream_)) + offsetMs;
    (void)library_.setStreamTime(stream_, toPosition(target));
}

void CSoundEngine::seekToFraction(float fraction) {
    if (playState_ != PlayState::Playing) {
        return;
    }
    const int length = library_.streamLengthMs(stream_);
    const float position = static_cast<float>(length) * fraction;
    (void)library_.setStreamTime(stream_, toPosition(position));
}

void CSoundEngine::stepVolume(int delta) {
    volume_ = static_cast<int>(std::clamp<std::int64_t>(
        std::int64_t{volume_} + delta, protocol::kMinVolume, protocol::kMaxVolume));
    (void)library_.setVolume(kPlayChannel, volume_);
}

void CSoundEngine::mute() {
    (void)library_.setVolume(kPlayChannel, 0);
    volume_ = 0;
}

void CSoundEngine::releaseStream() {
    if (stream_ == kNoStream) {
        return;
    }
    library_.stopStream(stream_);
    library_.closeStream(stream_);
    stream_ = kNoStream;
}

void CSoundEngine::writeConsole(std::string_view text) const {
    if (consoleSink_) {
        consoleSink_(text);
    }
}

void CSoundEngine::showNotice(std::string_view caption, int errorCode) const {
    const std::string_view text = soundErrorText(errorCode);
    if (noticeSink_) {
        noticeSink_(caption, text);
        return;
    }
    writeConsole(std::string(caption) + ": " + std::string(text) + "\n");
}

} // namespace tembrel::playback
