// The command handler: the command vocabulary in its order of comparison,
// the argument rule, the transport actions and the test message.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "remote/CServerDlg.h"
#include "remote/DecimalText.h"
#include "remote/EventText.h"

namespace tembrel::remote {

namespace {

// The vocabulary, in the order the command text is compared with it.
enum Command : int {
    kGetInfo,
    kPlay,
    kSetTime,
    kPause,
    kStop,
    kSendFile,
    kStartFile,
    kEndFile,
    kNext,
    kGetDetail,
    kRepeat,
    kShuffle,
    kPrev,
    kStart,
    kEnd,
    kPlayTrack,
    kPlayAlbumTrack,
    kGetAlbums,
    kGetAlbumTracks,
    kUp,
    kDown,
    kMute,
    kCommandCount
};

constexpr std::array<std::string_view, kCommandCount> kCommandNames{
    "GetInfo",        "Play",    "SetTime", "Pause",     "Stop",           "SendFile",
    "StartFile",      "EndFile", "Next",    "GetDetail", "Repeat",         "Shuffle",
    "Prev",           "Start",   "End",     "PlayTrack", "PlayAlbumTrack", "GetAlbums",
    "GetAlbumTracks", "Up",      "Down",    "Mute"};

constexpr int kMaxVolume = 255;
constexpr int kMinVolume = 0;

// Test message buffers: value 0 and value 11 are read into these sizes.
constexpr std::uint32_t kBigMessageSmallBytes = 300;
constexpr std::uint32_t kBigMessageLargeBytes = 80'000;

// Exact byte-wise lookup; -1 for a text that is not a command.
[[nodiscard]] int findCommand(std::string_view text) noexcept {
    for (int index = 0; index < kCommandCount; ++index) {
        if (kCommandNames[static_cast<std::size_t>(index)] == text) {
            return index;
        }
    }
    return -1;
}

[[nodiscard]] int clampVolume(std::int64_t volume) noexcept {
    return static_cast<int>(std::clamp<std::int64_t>(volume, kMinVolume, kMaxVolume));
}

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

[[nodiscard]] int offsetPosition(int position, int offset) noexcept {
    return toPosition(static_cast<double>(position) + offset);
}

} // namespace

void CServerDlg::handleCommand(std::int32_t userId, net::CNDKMessage& message) {
    std::string command;
    message.readValue(0, command);
    // Value 2, when present, overrides value 1.
    std::string argument;
    message.readValue(1, argument);
    message.readValue(2, argument);

    const int index = findCommand(command);
    if (index >= 0) {
        runTransportCommand(index, userId, message, argument);
    }
    pushStatus(message);
}

void CServerDlg::runTransportCommand(int commandIndex, std::int32_t userId,
                                     net::CNDKMessage& message, const std::string& argument) {
    playback::SoundLibrary& sound = engine_.library();
    const playback::StreamHandle stream = engine_.stream();
    constexpr int channel = playback::CSoundEngine::kPlayChannel;

    switch (commandIndex) {
    case kGetInfo:
        pushStatus(message);
        break;
    case kPlay:
        if (engine_.playState() != playback::PlayState::Playing) {
            playlist_.playEntry(playlist_.current());
        }
        break;
    case kSetTime:
        if (engine_.playState() == playback::PlayState::Playing) {
            const int length = sound.streamLengthMs(stream);
            const float fraction = static_cast<float>(atoiClamped(argument)) * kSeekScale;
            const float position = static_cast<float>(length) * fraction;
            (void)sound.setStreamTime(stream, toPosition(position));
        }
        break;
    case kPause:
        if (engine_.playState() == playback::PlayState::Playing) {
            pausedPosition_ = sound.streamTime(stream);
            (void)sound.stopStream(stream);
            engine_.setPlayState(playback::PlayState::Paused);
        } else if (engine_.playState() == playback::PlayState::Paused) {
            (void)sound.playStream(channel, stream);
            (void)sound.setVolume(channel, engine_.volume());
            (void)sound.setStreamTime(stream, pausedPosition_);
            engine_.setPlayState(playback::PlayState::Playing);
        }
        break;
    case kStop:
        (void)sound.stopStream(stream);
        engine_.setPlayState(playback::PlayState::Stopped);
        break;
    case kSendFile:
        sendFile(userId, message);
        break;
    case kStartFile:
        startFile(userId, message);
        break;
    case kEndFile:
        endFile(userId, message);
        break;
    case kNext:
        (void)sound.setStreamTime(stream, offsetPosition(sound.streamTime(stream), kSeekStepMs));
        break;
    case kGetDetail:
        getDetail(userId, message, argument);
        break;
    case kRepeat: {
        const bool wasOn = playlist_.repeat() == 1;
        playlist_.setRepeat(wasOn ? 0 : 1);
        message.putText(0, wasOn ? "^RepeatOff" : "^RepeatOn");
        message.putText(1, "");
        sendToAllUsers(message);
        break;
    }
    case kShuffle:
        if (playlist_.shuffle() == 1) {
            playlist_.setShuffle(0);
            message.putText(0, "^ShuffleOff");
            message.putText(1, "");
            sendToAllUsers(message);
            playlist_.clearPlayed();
        } else {
            playlist_.setShuffle(1);
            message.putText(0, "^ShuffleOn");
            message.putText(1, "");
            sendToAllUsers(message);
        }
        break;
    case kPrev:
        if (sound.streamTime(stream) > kSeekStepMs) {
            (void)sound.setStreamTime(stream,
                                      offsetPosition(sound.streamTime(stream), -kSeekStepMs));
        }
        break;
    case kStart:
        playlist_.playPrevious();
        break;
    case kEnd:
        if (playlist_.shuffle() == 1) {
            appendLog(userName(userId) + ":" + std::to_string(playlist_.current()));
        }
        playlist_.playNext();
        break;
    case kPlayTrack: {
        const std::int64_t index = std::int64_t{atoiClamped(argument)} - 1;
        if (index >= 0 && index < playlist_.count()) {
            playlist_.playEntry(static_cast<int>(index));
        }
        break;
    }
    case kPlayAlbumTrack:
        playAlbumTrack(userId, message, argument);
        break;
    case kGetAlbums:
        getAlbums(userId, message, argument);
        break;
    case kGetAlbumTracks:
        getAlbumTracks(userId, message, argument);
        break;
    case kUp:
        engine_.setVolume(clampVolume(std::int64_t{engine_.volume()} + kVolumeStep));
        (void)sound.setVolume(channel, engine_.volume());
        break;
    case kDown:
        engine_.setVolume(clampVolume(std::int64_t{engine_.volume()} - kVolumeStep));
        (void)sound.setVolume(channel, engine_.volume());
        break;
    case kMute:
        (void)sound.setVolume(channel, 0);
        engine_.setVolume(0);
        break;
    default:
        break;
    }
}

void CServerDlg::handleBigMessage(std::int32_t userId, const net::CNDKMessage& message) {
    // Every value is read into a buffer of its own size; none is used further.
    std::array<std::uint8_t, kBigMessageSmallBytes> small{};
    message.readValue(0, small.data(), kBigMessageSmallBytes);
    std::int8_t oneByteA = 0;
    std::uint8_t oneByteB = 0;
    std::int16_t twoByteA = 0;
    std::uint16_t twoByteB = 0;
    std::int32_t fourByteA = 0;
    std::int32_t fourByteB = 0;
    std::uint32_t fourByteC = 0;
    std::uint32_t fourByteD = 0;
    float fourByteE = 0;
    std::int64_t eightByte = 0;
    message.readValue(1, oneByteA);
    message.readValue(2, oneByteB);
    message.readValue(3, twoByteA);
    message.readValue(4, twoByteB);
    message.readValue(5, fourByteA);
    message.readValue(6, fourByteB);
    message.readValue(7, fourByteC);
    message.readValue(8, fourByteD);
    message.readValue(9, fourByteE);
    message.readValue(10, eightByte);
    std::vector<std::uint8_t> large(kBigMessageLargeBytes);
    message.readValue(11, large.data(), kBigMessageLargeBytes);
    std::string text;
    message.readValue(12, text);

    logEvent(eventText(EventId::BigMessage, userName(userId)));
}

} // namespace tembrel::remote
