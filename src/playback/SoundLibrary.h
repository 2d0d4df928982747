#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tembrel::playback {

using StreamHandle = std::int32_t;
inline constexpr StreamHandle kNoStream = 0;

// Number of magnitudes in a spectrum snapshot.
inline constexpr std::size_t kSpectrumSize = 512;
using Spectrum = std::array<float, kSpectrumSize>;

// Tag field types as the tag reader asks for them.
inline constexpr int kTagFieldId3v1 = 1; // "TITLE", "ARTIST", "ALBUM", ...
inline constexpr int kTagFieldId3v2 = 2; // frame id, frame body (text frames: encoding byte, UTF-8)
inline constexpr int kTagFieldAsf = 5;   // "WM/AlbumTitle", ...

// Error codes reported by lastError(); texts in CSoundEngine::soundErrorText.
enum SoundError : int {
    kErrNone = 0,
    kErrBusy = 1,
    kErrUninitialized = 2,
    kErrInitialization = 3,
    kErrAllocated = 4,
    kErrPlay = 5,
    kErrOutputFormat = 6,
    kErrCooperativeLevel = 7,
    kErrCreateBuffer = 8,
    kErrFileNotFound = 9,
    kErrFileFormat = 10,
    kErrFileBad = 11,
    kErrMemory = 12,
    kErrVersion = 13,
    kErrInvalidParam = 14,
    kErrNoEax = 15,
    kErrChannelAlloc = 16,
    kErrRecord = 17,
    kErrMediaPlayer = 18,
};

struct TagField {
    int type = 0;
    std::string name;
    // For ID3v2 text frames the first byte is the encoding the file used and
    // the text follows as UTF-8; other frames keep their raw body.
    std::string value;
};

// What a stream is opened for: playback decodes and outputs; information only
// reads tags and length and never touches the output.
enum class OpenPurpose { Playback, InformationOnly };

// The sound library: decoding, output, tags, spectrum, CPU usage. Every call is
// made from the main thread. A failing call sets lastError().
class SoundLibrary {
public:
    virtual ~SoundLibrary() = default;

    [[nodiscard]] virtual float version() const = 0;
    [[nodiscard]] virtual bool init(int mixRate, int maxChannels, unsigned flags) = 0;
    virtual void close() = 0;
    [[nodiscard]] virtual bool isInitialized() const = 0;
    [[nodiscard]] virtual int lastError() const = 0;
    virtual void setStreamBufferSize(int milliseconds) = 0;
    // Turns the spectrum analysis on or off.
    virtual void setSpectrumActive(bool active) = 0;

    // Returns kNoStream on failure.
    [[nodiscard]] virtual StreamHandle openStream(const std::string& path,
                                                  OpenPurpose purpose = OpenPurpose::Playback) = 0;
    // Reads `path` ahead, on any thread: what opening it for `purpose` will
    // need is kept for the next openStream of the same unchanged file, so
    // that opening it on the main thread then takes no time, however long
    // reading it took. A library without read-ahead does nothing.
    virtual void prepareFile(const std::string& path, OpenPurpose purpose) {
        (void)path;
        (void)purpose;
    }
    // Called once, on the main thread (queued), when the stream has played to
    // its end. Never called from the audio thread.
    virtual void setEndCallback(StreamHandle stream, std::function<void()> callback) = 0;
    // Returns the channel, or -1 on failure.
    virtual int playStream(int channel, StreamHandle stream) = 0;
    // Halts output; the stream stays open and keeps its position.
    virtual bool stopStream(StreamHandle stream) = 0;
    virtual bool closeStream(StreamHandle stream) = 0;
    // 0-255, linear gain on the channel.
    virtual bool setVolume(int channel, int volume) = 0;
    // Milliseconds actually played; 0 without a stream.
    [[nodiscard]] virtual int streamTime(StreamHandle stream) const = 0;
    virtual bool setStreamTime(StreamHandle stream, int milliseconds) = 0;
    [[nodiscard]] virtual int streamLengthMs(StreamHandle stream) const = 0;

    [[nodiscard]] virtual std::optional<std::string> findTagField(StreamHandle stream, int type,
                                                                  std::string_view name) const = 0;
    // std::nullopt when the library cannot report a count.
    [[nodiscard]] virtual std::optional<int> tagFieldCount(StreamHandle stream) const = 0;
    [[nodiscard]] virtual std::optional<TagField> tagField(StreamHandle stream,
                                                           int index) const = 0;

    // Copies the latest spectrum (magnitudes 0..1); false when no analysis
    // is available (library not initialised).
    virtual bool readSpectrum(Spectrum& out) const = 0;
    // Percent of one core used by audio work, smoothed over about a second.
    [[nodiscard]] virtual float cpuUsage() const = 0;
};

} // namespace tembrel::playback
