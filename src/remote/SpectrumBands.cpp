// Band arithmetic of the spectrum step.
#include "remote/SpectrumBands.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tembrel::remote {

namespace {

constexpr long double kBandCeiling = 1.0L;
constexpr long double kBandScale = 100.0L;

int truncateToInt(long double scaled) noexcept {
    if (std::isnan(scaled)) {
        return 0;
    }
    constexpr auto kLow = static_cast<long double>(std::numeric_limits<int>::min());
    constexpr auto kHigh = static_cast<long double>(std::numeric_limits<int>::max());
    if (scaled <= kLow) {
        return std::numeric_limits<int>::min();
    }
    if (scaled >= kHigh) {
        return std::numeric_limits<int>::max();
    }
    return static_cast<int>(scaled);
}

} // namespace

BandValues computeBands(std::span<const float> spectrum) noexcept {
    BandValues bands{};
    for (int b = 0; b < kBandCount; ++b) {
        const auto first = static_cast<std::size_t>(static_cast<float>(b) * kBandStride);
        long double sum = 0.0L;
        for (std::size_t k = first; k < first + kValuesPerBand && k < spectrum.size(); ++k) {
            const long double v = spectrum[k];
            if (v > 0) {
                sum += v;
            } else if (v < 0) {
                sum += v * v / v;
            }
        }
        if (sum > kBandCeiling) {
            sum = kBandCeiling;
        }
        bands[static_cast<std::size_t>(b)] = truncateToInt(sum * kBandScale);
    }
    return bands;
}

} // namespace tembrel::remote
