#pragma once

// The messages decoded from one read of a connection, handed on together.
// Slots are kept between uses so that decoding reuses their storage instead
// of allocating for every message.

#include <cstddef>
#include <vector>

#include "net/CNDKMessage.h"

namespace tembrel::net {

class MessageBatch {
public:
    // The slot the next message is decoded into; commit() makes it part of
    // the batch.
    [[nodiscard]] CNDKMessage& slot() {
        if (count_ == messages_.size()) {
            messages_.emplace_back();
        }
        return messages_[count_];
    }
    void commit() noexcept { ++count_; }
    void clear() noexcept { count_ = 0; }

    [[nodiscard]] std::size_t size() const noexcept { return count_; }
    [[nodiscard]] CNDKMessage& operator[](std::size_t i) noexcept { return messages_[i]; }

private:
    std::vector<CNDKMessage> messages_;
    std::size_t count_ = 0;
};

} // namespace tembrel::net
