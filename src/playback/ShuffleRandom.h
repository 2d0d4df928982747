#pragma once

// The random generator behind the shuffle pick: the C runtime's classic linear
// congruential generator, written out so every platform draws the same values.

#include <cstdint>

namespace tembrel::playback {

class ShuffleRandom {
public:
    static constexpr int kMaxDraw = 32767;

    constexpr void seed(std::uint32_t value) noexcept { state_ = value; }

    // The next value in 0..kMaxDraw.
    [[nodiscard]] constexpr int next() noexcept {
        state_ = state_ * kMultiplier + kIncrement;
        return static_cast<int>((state_ >> 16) & kMaxDraw);
    }

private:
    static constexpr std::uint32_t kMultiplier = 214013u;
    static constexpr std::uint32_t kIncrement = 2531011u;

    std::uint32_t state_ = 1;
};

} // namespace tembrel::playback
