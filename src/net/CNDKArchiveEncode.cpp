// Message to bytes: the header, then each value as type code and payload.
#include <cstring>

#include "net/CNDKArchive.h"
#include "net/WireFormat.h"

namespace tembrel::net {

namespace {

std::size_t valueSize(const CNDKValue& value) noexcept {
    if (value.isType(ValueType::Text)) {
        const std::size_t n = value.text().size();
        return 1 + wire::textPrefixBytes(n) + n;
    }
    if (value.isType(ValueType::Bytes)) {
        return 1 + 4 + value.bytes().size();
    }
    return 1 + wire::kScalarBytes;
}

std::uint8_t* putText(std::uint8_t* p, const std::string& text) noexcept {
    const std::size_t n = text.size();
    if (n <= wire::kShortTextMax) {
        *p++ = static_cast<std::uint8_t>(n);
    } else if (n <= wire::kMediumTextMax) {
        *p++ = wire::kPrefixEscape;
        p = wire::store16(p, static_cast<std::uint16_t>(n));
    } else {
        *p++ = wire::kPrefixEscape;
        p = wire::store16(p, wire::kPrefixLong);
        p = wire::store32(p, static_cast<std::uint32_t>(n));
    }
    if (n != 0) {
        std::memcpy(p, text.data(), n);
    }
    return p + n;
}

std::uint8_t* putValue(std::uint8_t* p, const CNDKValue& value) noexcept {
    *p++ = value.typeCode();
    if (value.isType(ValueType::Text)) {
        return putText(p, value.text());
    }
    if (value.isType(ValueType::Bytes)) {
        const CNDKByteBlock& block = value.bytes();
        p = wire::store32(p, block.size());
        if (block.size() != 0) {
            std::memcpy(p, block.data(), block.size());
        }
        return p + block.size();
    }
    std::memcpy(p, value.scalar().data(), wire::kScalarBytes);
    return p + wire::kScalarBytes;
}

} // namespace

std::size_t CNDKArchive::encodedSize(const CNDKMessage& message) noexcept {
    std::size_t size = wire::kHeaderBytes;
    for (const CNDKValue& value : message.values()) {
        size += valueSize(value);
    }
    return size;
}

void CNDKArchive::encode(const CNDKMessage& message, std::vector<std::uint8_t>& out) {
    const std::size_t start = out.size();
    const std::size_t end = start + encodedSize(message);
    if (end > out.capacity() && end - start > kRoomAfterLargeMessage) {
        // The small messages that usually follow a large one (a status push
        // after a picture) then fit behind it without copying it again.
        out.reserve(end + kRoomAfterLargeMessage);
    }
    out.resize(end);
    std::uint8_t* p = out.data() + start;
    p = wire::store32(p, static_cast<std::uint32_t>(message.id()));
    p = wire::store32(p, static_cast<std::uint32_t>(message.valueCount()));
    for (const CNDKValue& value : message.values()) {
        p = putValue(p, value);
    }
}

std::vector<std::uint8_t> CNDKArchive::encode(const CNDKMessage& message) {
    std::vector<std::uint8_t> out;
    encode(message, out);
    return out;
}

} // namespace tembrel::net
