#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "net/CNDKByteBlock.h"
#include "net/ValueType.h"

namespace tembrel::net {

// One typed value. `type` is the raw code (0-255) so unknown codes survive a
// round trip; scalars live little-endian in the first bytes of an 8-byte slot.
class CNDKValue {
public:
    using Scalar = std::array<std::uint8_t, 8>;

    // A default value is an empty Text.
    CNDKValue() noexcept = default;

    [[nodiscard]] static CNDKValue fromText(std::string_view text);
    [[nodiscard]] static CNDKValue fromBytes(std::span<const std::uint8_t> bytes);
    // A scalar of any code (0-9 or 12-255) from an arithmetic value whose
    // bytes fill the start of the slot; the rest of the slot is zero.
    template <typename T>
    requires std::is_arithmetic_v<T> &&(sizeof(T) <= 8) [[nodiscard]] static CNDKValue
        fromScalar(ValueType type, T number) noexcept {
        return fromRawScalar(static_cast<std::uint8_t>(type), &number, sizeof(T));
    }
    [[nodiscard]] static CNDKValue fromRawScalar(std::uint8_t typeCode, const void* data,
                                                 std::size_t width) noexcept;
    [[nodiscard]] static CNDKValue fromRaw(std::uint8_t typeCode, const Scalar& scalar) noexcept;

    [[nodiscard]] std::uint8_t typeCode() const noexcept { return type_; }
    [[nodiscard]] bool isType(ValueType type) const noexcept {
        return type_ == static_cast<std::uint8_t>(type);
    }
    [[nodiscard]] const Scalar& scalar() const noexcept { return scalar_; }
    [[nodiscard]] const std::string& text() const noexcept { return text_; }
    [[nodiscard]] const CNDKByteBlock& bytes() const noexcept { return bytes_; }

    // Copy-out per kind; true when the value's type is the one asked for. The
    // copy happens in both cases under the readValue rules of CNDKMessage.
    template <typename T>
    requires std::is_arithmetic_v<T> &&
        (sizeof(T) <= 8) bool readAs(T& out, ValueType expected) const noexcept {
        std::memcpy(&out, scalar_.data(), sizeof(T));
        return isType(expected);
    }
    bool readAs(std::string& out) const;
    bool readAs(void* destination, std::uint32_t capacity) const noexcept;

    friend bool operator==(const CNDKValue&, const CNDKValue&) = default;

private:
    friend struct DecodeAccess; // the decoder fills an existing value, reusing its storage

    std::uint8_t type_ = static_cast<std::uint8_t>(ValueType::Text);
    Scalar scalar_{};
    std::string text_;
    CNDKByteBlock bytes_;
};

} // namespace tembrel::net
