// The binary wire format as a transport encoding.
#include "net/CNDKArchive.h"
#include "net/UserTransport.h"

namespace tembrel::net {

namespace {

class WireEncoding final : public MessageEncoding {
public:
    void encode(const CNDKMessage& message, std::vector<std::uint8_t>& out) const override {
        CNDKArchive::encode(message, out);
    }
};

} // namespace

const MessageEncoding& wireEncoding() noexcept {
    static const WireEncoding encoding;
    return encoding;
}

} // namespace tembrel::net
