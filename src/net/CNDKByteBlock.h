#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tembrel::net {

// An owned buffer of raw bytes; copies duplicate the bytes.
class CNDKByteBlock {
public:
    CNDKByteBlock() noexcept = default;

    // Releases the current bytes, then copies `size` bytes from `data`.
    void assign(const void* data, std::uint32_t size);
    void assign(std::vector<std::uint8_t>&& bytes) noexcept { data_ = std::move(bytes); }
    void clear() noexcept { data_.clear(); }

    [[nodiscard]] std::uint32_t size() const noexcept {
        return static_cast<std::uint32_t>(data_.size());
    }
    [[nodiscard]] const std::uint8_t* data() const noexcept { return data_.data(); }
    [[nodiscard]] std::span<const std::uint8_t> view() const noexcept { return data_; }

    friend bool operator==(const CNDKByteBlock&, const CNDKByteBlock&) = default;

private:
    std::vector<std::uint8_t> data_;
};

} // namespace tembrel::net
