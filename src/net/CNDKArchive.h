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
    struct Limits {
        // Largest message the decoder accepts; declared counts and lengths
        // that cannot fit are refused before anything is allocated.
        std::size_t maxMessageBytes = std::size_t{64} << 20;
    };

    enum class Result { Complete, NeedMore, Malformed };

    CNDKArchive() noexcept = default;
    explicit CNDKArchive(Limits limits) noexcept : limits_(limits) {}

    [[nodiscard]] const Limits& limits() const noexcept { return limits_; }

    // Appends the bytes of `message` to `out`, choosing the shortest text
    // prefix form.
    static void encode(const CNDKMessage& message, std::vector<std::uint8_t>& out);
    [[nodiscard]] static std::vector<std::uint8_t> encode(const CNDKMessage& message);

    // Decodes one message from the start of `bytes`. On Complete, `out` holds
    // the message and `consumed` its length in bytes. NeedMore: the bytes end
    // inside a message. Malformed: they can never form an acceptable message.
    [[nodiscard]] Result decode(std::span<const std::uint8_t> bytes, CNDKMessage& out,
                                std::size_t& consumed) const;

private:
    Limits limits_;
};

} // namespace tembrel::net
