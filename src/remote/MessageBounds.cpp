// The size of a client's message as the server would repeat it.
#include "remote/MessageBounds.h"

#include <utility>

namespace tembrel::remote {

std::size_t messageBytes(const net::CNDKMessage& message) noexcept {
    std::size_t total = 0;
    for (const net::CNDKValue& value : message.values()) {
        total += value.text().size() + value.bytes().size() + kValueOverheadBytes;
    }
    return total;
}

void keepFirstValues(net::CNDKMessage& message, std::int32_t keep) {
    if (message.valueCount() <= keep) {
        return;
    }
    net::CNDKMessage kept(message.id());
    for (std::int32_t i = 0; i < keep; ++i) {
        kept.appendValue(message.value(i));
    }
    message = std::move(kept);
}

} // namespace tembrel::remote
