// The JSON encoding object shared by all web users.
#include "web/JsonEncoding.h"

#include "web/JsonCodec.h"

namespace tembrel::web {

namespace {

class JsonEncoding final : public net::MessageEncoding {
public:
    void encode(const net::CNDKMessage& message, std::vector<std::uint8_t>& out) const override {
        encodeJson(message, out);
    }
};

} // namespace

const net::MessageEncoding& jsonEncoding() noexcept {
    static const JsonEncoding encoding;
    return encoding;
}

} // namespace tembrel::web
