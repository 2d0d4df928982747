#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "net/CNDKMessage.h"

namespace tembrel::net {

// Size of each connection's buffered stream in one direction.
inline constexpr std::size_t kNdkArchiveBufferSize = 4096;

// The message codec. Works on byte buffers, never on sockets, so the same
// code serves the server, the command-line client, the fuzzer and benchmarks.
class CNDKArchive {
public:
    // Room encode() leaves behind a large message it grows a buffer for.
    static constexpr std::size_t kRoomAfterLargeMessage = std::size_t{64} << 10;

    struct Limits {
        // Largest message the decoder accepts; declared counts and lengths
        // that cannot fit are refused before anything is allocated.
        std::size_t maxMessageBytes = std::size_t{64} << 20;
        // Most values one message may declare. Each decoded value costs far
        // more memory than its smallest encoding (2 bytes), so the count is
        // bounded on its own.
        std::size_t maxValueCount = 65536;
    };

    enum class Result { Complete, NeedMore, Malformed };

    // How far the decoder got into a message whose bytes have not all
    // arrived. Handing it back on the next call resumes at the last value
    // boundary instead of re-reading the whole message, so a large message
    // that arrives in many pieces costs time in proportion to its size.
    // Start each message with a default Progress.
    struct Progress {
        std::size_t offset = 0;       // bytes of the message already checked
        std::int64_t valuesLeft = -1; // -1 until the header has been read
    };

    CNDKArchive() noexcept = default;
    explicit CNDKArchive(Limits limits) noexcept : limits_(limits) {}

    [[nodiscard]] const Limits& limits() const noexcept { return limits_; }

    // Appends the bytes of `message` to `out`, choosing the shortest text
    // prefix form.
    static void encode(const CNDKMessage& message, std::vector<std::uint8_t>& out);
    [[nodiscard]] static std::vector<std::uint8_t> encode(const CNDKMessage& message);
    // Number of bytes encode() produces for `message`.
    [[nodiscard]] static std::size_t encodedSize(const CNDKMessage& message) noexcept;

    // Decodes one message from the start of `bytes`. On Complete, `out` holds
    // the message and `consumed` its length in bytes. NeedMore: the bytes end
    // inside a message. Malformed: they can never form an acceptable message.
    // `out` is only written on Complete; its storage is reused.
    [[nodiscard]] Result decode(std::span<const std::uint8_t> bytes, CNDKMessage& out,
                                std::size_t& consumed) const;
    // The same, resuming from `progress` (see Progress). `bytes` must start at
    // the same message and hold at least the bytes seen before. On Complete
    // and Malformed `progress` is reset for the next message.
    [[nodiscard]] Result decode(std::span<const std::uint8_t> bytes, CNDKMessage& out,
                                std::size_t& consumed, Progress& progress) const;
    // Checks the message at the start of `bytes` like decode() without
    // building it (nothing is allocated); on Complete `consumed` is its length.
    [[nodiscard]] Result check(std::span<const std::uint8_t> bytes, std::size_t& consumed,
                               Progress& progress) const noexcept;
    // Builds the message at the start of `bytes` into `out` and returns its
    // length, without checking it again. Only for bytes that begin with a
    // message check() found Complete under the same limits: anything else is
    // read out of bounds.
    [[nodiscard]] static std::size_t buildChecked(std::span<const std::uint8_t> bytes,
                                                  CNDKMessage& out);

private:
    [[nodiscard]] Result scan(std::span<const std::uint8_t> bytes,
                              Progress& progress) const noexcept;

    Limits limits_;
};

} // namespace tembrel::net
