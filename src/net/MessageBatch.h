#pragma once

// The messages decoded from one read of a connection, handed on together.
// Slots are kept between uses so that decoding reuses their storage instead
// of allocating for every message.

#include <cstddef>
#include <vector>

#include "net/CNDKMessage.h"

namespace tembrel::net {

// A read's messages are built and handed on in groups of about this many
// bytes on the wire. Decoded, a message can take some forty times its wire
// size, so building everything a burst brought at once could take hundreds of
// MiB; a group takes a few MiB at most.
inline constexpr std::size_t kMessageGroupBytes = std::size_t{64} << 10;
// A group ends with the message that reaches kMessageGroupBytes, so only a
// group holding a message about that large or larger passes this size.
inline constexpr std::size_t kRetainedGroupBytes = 2 * kMessageGroupBytes;

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
    // `wireBytes`: the message's length on the wire.
    void commit(std::size_t wireBytes) noexcept {
        ++count_;
        wireBytes_ += wireBytes;
    }
    // Empties the batch. The slots' storage is kept for the next group unless
    // the group held a big message, whose storage is released rather than
    // held for the life of the host.
    void clear() noexcept {
        if (wireBytes_ > kRetainedGroupBytes) {
            std::vector<CNDKMessage>().swap(messages_);
        }
        count_ = 0;
        wireBytes_ = 0;
    }

    [[nodiscard]] std::size_t size() const noexcept { return count_; }
    [[nodiscard]] std::size_t wireBytes() const noexcept { return wireBytes_; }
    [[nodiscard]] CNDKMessage& operator[](std::size_t i) noexcept { return messages_[i]; }

private:
    std::vector<CNDKMessage> messages_;
    std::size_t count_ = 0;
    std::size_t wireBytes_ = 0;
};

} // namespace tembrel::net
