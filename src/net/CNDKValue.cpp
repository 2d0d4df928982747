// Construction and copy-out rules of one typed message value.
#include "net/CNDKValue.h"

#include <algorithm>

namespace tembrel::net {

CNDKValue CNDKValue::fromText(std::string_view text) {
    CNDKValue value;
    value.type_ = static_cast<std::uint8_t>(ValueType::Text);
    value.text_.assign(text);
    return value;
}

CNDKValue CNDKValue::fromBytes(std::span<const std::uint8_t> bytes) {
    CNDKValue value;
    value.type_ = static_cast<std::uint8_t>(ValueType::Bytes);
    value.bytes_.assign(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    return value;
}

CNDKValue CNDKValue::fromRawScalar(std::uint8_t typeCode, const void* data,
                                   std::size_t width) noexcept {
    CNDKValue value;
    value.type_ = typeCode;
    std::memcpy(value.scalar_.data(), data, std::min(width, value.scalar_.size()));
    return value;
}

CNDKValue CNDKValue::fromRaw(std::uint8_t typeCode, const Scalar& scalar) noexcept {
    CNDKValue value;
    value.type_ = typeCode;
    value.scalar_ = scalar;
    return value;
}

bool CNDKValue::readAs(std::string& out) const {
    // Non-text values hold an empty text, so copying it yields "".
    out = text_;
    return isType(ValueType::Text);
}

bool CNDKValue::readAs(void* destination, std::uint32_t capacity) const noexcept {
    if (!isType(ValueType::Bytes)) {
        return false;
    }
    const std::uint32_t count = std::min(capacity, bytes_.size());
    if (destination != nullptr && count != 0) {
        std::memcpy(destination, bytes_.data(), count);
    }
    return true;
}

} // namespace tembrel::net
