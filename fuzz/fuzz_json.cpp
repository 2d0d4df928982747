// Feeds arbitrary text to the web remote's JSON reader as a WebSocket frame
// would bring it; whatever it accepts must write back to JSON that reads as
// the same message (the mapping is lossless).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "net/CNDKArchive.h"
#include "web/JsonCodec.h"

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
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CNDKMessage message;
    if (!tembrel::web::decodeJson(text, kLimits, message)) {
        return 0;
    }
    std::vector<std::uint8_t> json;
    tembrel::web::encodeJson(message, json);
    CNDKMessage again;
    check(tembrel::web::decodeJson({reinterpret_cast<const char*>(json.data()), json.size()},
                                   kLimits, again));
    check(again == message);
    check(CNDKArchive::encode(again) == CNDKArchive::encode(message));
    return 0;
}
