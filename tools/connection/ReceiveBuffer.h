// The bytes a connection has read and not yet decoded. A read lands after
// what is pending without clearing the space first, so reading costs only the
// copy the kernel makes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace tembrel::client {

class ReceiveBuffer {
public:
    // Room the buffer keeps once a large message has been taken out; more is
    // given back.
    static constexpr std::size_t kRetainedBytes = std::size_t{1} << 20;

    // Room for at least `bytes` more after the pending bytes.
    [[nodiscard]] std::span<std::uint8_t> space(std::size_t bytes) {
        if (data_.size() - end_ < bytes && begin_ > 0) {
            std::memmove(data_.data(), data_.data() + begin_, end_ - begin_);
            end_ -= begin_;
            begin_ = 0;
        }
        if (data_.size() - end_ < bytes) {
            data_.resize(end_ + bytes);
        }
        return {data_.data() + end_, data_.size() - end_};
    }
    void commit(std::size_t bytes) noexcept { end_ += bytes; }

    [[nodiscard]] std::span<const std::uint8_t> pending() const noexcept {
        return {data_.data() + begin_, end_ - begin_};
    }
    void consume(std::size_t bytes) {
        begin_ += bytes;
        if (begin_ == end_) {
            clear();
        }
    }
    void clear() {
        begin_ = 0;
        end_ = 0;
        if (data_.size() > kRetainedBytes) {
            data_.resize(kRetainedBytes);
            data_.shrink_to_fit();
        }
    }

private:
    std::vector<std::uint8_t> data_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
};

} // namespace tembrel::client
