// Feeds arbitrary bytes to the message decoder the way a connection does:
// in pieces, resuming after each, decoding every complete message, and
// re-encoding what it decoded to check the round trip.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "net/CNDKArchive.h"

using tembrel::net::CNDKArchive;
using tembrel::net::CNDKMessage;

namespace {

// Small limits so that refusals are reached often.
constexpr CNDKArchive::Limits kLimits{1 << 16, 512};

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte chooses the size of the pieces the stream arrives in.
    const std::size_t piece = 1 + data[0] % 64;
    const std::span<const std::uint8_t> stream(data + 1, size - 1);

    const CNDKArchive codec(kLimits);
    std::vector<std::uint8_t> buffer;
    std::size_t start = 0;
    CNDKArchive::Progress progress;
    CNDKMessage message;
    for (std::size_t fed = 0; fed < stream.size();) {
        const std::size_t n = std::min(piece, stream.size() - fed);
        buffer.insert(buffer.end(), stream.begin() + fed, stream.begin() + fed + n);
        fed += n;
        for (;;) {
            std::size_t consumed = 0;
            const std::span<const std::uint8_t> rest = std::span(buffer).subspan(start);
            const auto result = codec.decode(rest, message, consumed, progress);
            if (result == CNDKArchive::Result::Malformed) {
                // The stateless decoder must agree on the same bytes.
                CNDKMessage other;
                std::size_t ignored = 0;
                check(codec.decode(rest, other, ignored) == CNDKArchive::Result::Malformed);
                return 0;
            }
            if (result == CNDKArchive::Result::NeedMore) {
                break;
            }
            check(consumed >= 8 && consumed <= rest.size() && consumed <= kLimits.maxMessageBytes);
            // Checking first and then building, as the host does, agrees.
            CNDKArchive::Progress fresh;
            std::size_t checked = 0;
            check(codec.check(rest, checked, fresh) == CNDKArchive::Result::Complete &&
                  checked == consumed);
            CNDKMessage built;
            check(CNDKArchive::buildChecked(rest, built) == consumed && built == message);
            // Re-encoding and decoding again gives the same message.
            const std::vector<std::uint8_t> again = CNDKArchive::encode(message);
            check(again.size() == CNDKArchive::encodedSize(message));
            CNDKMessage twice;
            std::size_t againConsumed = 0;
            check(CNDKArchive().decode(again, twice, againConsumed) ==
                  CNDKArchive::Result::Complete);
            check(againConsumed == again.size() && twice == message);
            start += consumed;
        }
    }
    return 0;
}
