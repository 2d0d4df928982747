#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "net/CNDKValue.h"

namespace tembrel::net {

// Identifiers reserved for the connection server's own control messages.
inline constexpr std::int32_t kNdkIdServerStopping = -1;
inline constexpr std::int32_t kNdkIdEcho = -2;
inline constexpr std::int32_t kNdkIdPing = -3;
inline constexpr std::int32_t kNdkIdLeaving = -4;
inline constexpr std::int32_t kNdkIdDropped = -5;

// The identifier of a message built without one (the server's timed pushes);
// outside the reserved range, clients recognise such messages by value 0.
inline constexpr std::int32_t kDefaultMessageId = 0;

// One message: a signed identifier and an ordered list of typed values.
// Copies are deep: texts and byte blocks are never shared.
class CNDKMessage {
public:
    CNDKMessage() noexcept : id_(kDefaultMessageId) {}
    explicit CNDKMessage(std::int32_t id) noexcept : id_(id) {}

    [[nodiscard]] std::int32_t id() const noexcept { return id_; }
    void setId(std::int32_t id) noexcept { id_ = id; }
    [[nodiscard]] std::int32_t valueCount() const noexcept {
        return static_cast<std::int32_t>(values_.size());
    }
    [[nodiscard]] const std::vector<CNDKValue>& values() const noexcept { return values_; }
    // Precondition: 0 <= index < valueCount().
    [[nodiscard]] const CNDKValue& value(std::int32_t index) const { return values_.at(index); }

    // Stores the value at index valueCount().
    void appendValue(CNDKValue value);
    // Negative index: nothing happens. An index at or beyond the count first
    // grows the list with empty Text values, then replaces the value at index.
    void putValue(std::int32_t index, CNDKValue value);

    // Shorthands for the value kinds the system writes.
    void appendText(std::string_view text) { appendValue(CNDKValue::fromText(text)); }
    void putText(std::int32_t index, std::string_view text) {
        putValue(index, CNDKValue::fromText(text));
    }
    void putFourByteB(std::int32_t index, std::int32_t number) {
        putValue(index, CNDKValue::fromScalar(ValueType::FourByteB, number));
    }
    void putBytes(std::int32_t index, std::span<const std::uint8_t> bytes) {
        putValue(index, CNDKValue::fromBytes(bytes));
    }

    // Copy rules of readValue: an index outside 0..valueCount()-1 leaves `out`
    // untouched; otherwise the content is copied whatever the value's type
    // (scalars: the first sizeof(out) bytes of the 8-byte slot; text: empty for
    // non-Text values; bytes: min(capacity, size) bytes, only from Bytes values).
    void readValue(std::int32_t index, std::string& out) const;
    void readValue(std::int32_t index, std::int8_t& out) const;
    void readValue(std::int32_t index, std::uint8_t& out) const;
    void readValue(std::int32_t index, std::int16_t& out) const;
    void readValue(std::int32_t index, std::uint16_t& out) const;
    void readValue(std::int32_t index, std::int32_t& out) const;
    void readValue(std::int32_t index, std::uint32_t& out) const;
    void readValue(std::int32_t index, float& out) const;
    void readValue(std::int32_t index, std::int64_t& out) const;
    void readValue(std::int32_t index, double& out) const;
    void readValue(std::int32_t index, void* destination, std::uint32_t capacity) const;

    friend bool operator==(const CNDKMessage&, const CNDKMessage&) = default;

private:
    friend struct DecodeAccess; // the decoder fills an existing message, reusing its storage

    std::int32_t id_;
    std::vector<CNDKValue> values_;
};

} // namespace tembrel::net
