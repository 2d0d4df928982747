// Storing values into a message and copying them out again.
#include "net/CNDKMessage.h"

#include <utility>

namespace tembrel::net {

void CNDKMessage::appendValue(CNDKValue value) {
    values_.push_back(std::move(value));
}

void CNDKMessage::putValue(std::int32_t index, CNDKValue value) {
    if (index < 0) {
        return;
    }
    const auto slot = static_cast<std::size_t>(index);
    if (slot >= values_.size()) {
        values_.resize(slot + 1); // new places are empty Text values
    }
    values_[slot] = std::move(value);
}

namespace {

// The value at `index`, or null when the index is outside the list.
const CNDKValue* valueAt(const std::vector<CNDKValue>& values, std::int32_t index) noexcept {
    if (index < 0 || static_cast<std::size_t>(index) >= values.size()) {
        return nullptr;
    }
    return &values[static_cast<std::size_t>(index)];
}

template <typename T>
void readScalar(const std::vector<CNDKValue>& values, std::int32_t index, T& out) noexcept {
    if (const CNDKValue* value = valueAt(values, index)) {
        // The kind asked for does not matter: the first sizeof(T) bytes of the
        // slot are copied whatever the value's type is.
        (void)value->readAs(out, ValueType::Text);
    }
}

} // namespace

void CNDKMessage::readValue(std::int32_t index, std::string& out) const {
    if (const CNDKValue* value = valueAt(values_, index)) {
        (void)value->readAs(out);
    }
}

void CNDKMessage::readValue(std::int32_t index, std::int8_t& out) const {
    readScalar(values_, index, out);
}
void CNDKMessage::readValue(std::int32_t index, std::uint8_t& out) const {
    readScalar(values_, index, out);
}
void CNDKMessage::readValue(std::int32_t index, std::int16_t& out) const {
    readScalar(values_, index, out);
}
void CNDKMessage::readValue(std::int32_t index, std::uint16_t& out) const {
    readScalar(values_, index, out);
}
void CNDKMessage::readValue(std::int32_t index, std::int32_t& out) const {
    readScalar(values_, index, out);
}
void CNDKMessage::readValue(std::int32_t index, std::uint32_t& out) const {
    readScalar(values_, index, out);
}
void CNDKMessage::readValue(std::int32_t index, float& out) const {
    readScalar(values_, index, out);
}
void CNDKMessage::readValue(std::int32_t index, std::int64_t& out) const {
    readScalar(values_, index, out);
}
void CNDKMessage::readValue(std::int32_t index, double& out) const {
    readScalar(values_, index, out);
}

void CNDKMessage::readValue(std::int32_t index, void* destination, std::uint32_t capacity) const {
    if (const CNDKValue* value = valueAt(values_, index)) {
        (void)value->readAs(destination, capacity);
    }
}

} // namespace tembrel::net
