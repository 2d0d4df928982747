// The writing end of the named pipe a Snapcast server reads. The reader may
// come and go at any time: nothing here blocks, what the pipe cannot take is
// dropped, and each change between "a reader holds the pipe" and "nobody
// reads it" is logged once.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tembrel::playback {

class FifoWriter {
public:
    using Clock = std::chrono::steady_clock;
    using Log = std::function<void(std::string_view)>;

    // How often a pipe that cannot be opened is tried again while music plays.
    static constexpr std::chrono::milliseconds kOpenRetry{1000};
    // How long writes must find no reader before that is logged. Snapcast's
    // pipe reader, and one being restarted, take a moment to come back.
    static constexpr std::chrono::milliseconds kAbsenceGrace{1000};
    static constexpr std::size_t kMaxFrameBytes = 8;

    // Makes sure `path` is a named pipe, creating it when nothing is there.
    // Returns why it cannot be used otherwise; anything else found at the
    // path is left alone.
    [[nodiscard]] static std::optional<std::string> prepare(const std::string& path);
    // A broken pipe must not end the process: the thread that writes calls
    // this once, and a write to a pipe without a reader then only fails.
    static void blockBrokenPipeSignal() noexcept;

    // Writes whole frames of `frameBytes` (at most kMaxFrameBytes) bytes.
    FifoWriter(std::string path, std::size_t frameBytes, Log log);
    ~FifoWriter();
    FifoWriter(const FifoWriter&) = delete;
    FifoWriter& operator=(const FifoWriter&) = delete;

    // Opens the writing end once and keeps it, reader or not (at most one
    // try per kOpenRetry). True while it is open.
    [[nodiscard]] bool open(Clock::time_point now);
    // Whether the last write found a reader.
    [[nodiscard]] bool readerPresent() const noexcept { return present_; }
    // Bytes in the pipe that the reader has not taken yet.
    [[nodiscard]] std::size_t queued() const noexcept;
    // Writes what the pipe takes now and drops the rest; without a reader
    // everything is dropped.
    void write(std::span<const std::uint8_t> bytes);

private:
    enum class Reader { Unknown, Present, Absent };

    // Bytes written, 0 when the pipe is full, nullopt without a reader.
    [[nodiscard]] std::optional<std::size_t> writeSome(std::span<const std::uint8_t> bytes);
    [[nodiscard]] int openPipe(std::string& problem) const;
    void readerFound();
    void readerMissing(std::string_view problem);
    // Logs a change of what the log last said.
    void report(Reader reader, std::string_view problem = {});
    // Empties the pipe of what a reader that left did not take, so that the
    // next one does not start with old music.
    void discardUnread() const noexcept;

    const std::string path_;
    const std::size_t frameBytes_;
    Log log_;
    int fd_ = -1;
    bool present_ = false;
    std::optional<Clock::time_point> missingSince_; // since when writes find no reader
    Reader reported_ = Reader::Unknown;
    Clock::time_point nextAttempt_{};
    // The rest of a frame that a partial write cut, sent before anything else
    // so that the reader never loses the frame boundaries.
    std::array<std::uint8_t, kMaxFrameBytes> carry_{};
    std::size_t carryBytes_ = 0;
};

} // namespace tembrel::playback
