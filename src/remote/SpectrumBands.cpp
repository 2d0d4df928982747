// Band arithmetic and texts of the spectrum step.
#include "remote/SpectrumBands.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace tembrel::remote {

namespace {

constexpr long double kBandCeiling = 1.0L;
constexpr long double kBandScale = 100.0L;
// "-2147483648\" sixteen times, plus the terminator.
constexpr std::size_t kBandTextCapacity = kBandCount * 12 + 1;
constexpr std::size_t kCpuTextCapacity = 64;

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

std::string formatBands(const BandValues& bands) {
    std::array<char, kBandTextCapacity> text{};
    std::size_t used = 0;
    for (std::size_t b = 0; b < bands.size(); ++b) {
        const char* format = b == 0 ? "%d" : "\\%d";
        const int written = std::snprintf(text.data() + used, text.size() - used, format, bands[b]);
        if (written < 0) {
            break;
        }
        used += static_cast<std::size_t>(written);
    }
    return std::string(text.data(), used);
}

std::string formatCpuUsage(float percent) {
    std::array<char, kCpuTextCapacity> text{};
    const int written =
        std::snprintf(text.data(), text.size(), "CPU Usage: %3.2f%%", static_cast<double>(percent));
    if (written < 0) {
        return {};
    }
    return std::string(text.data(), std::min(static_cast<std::size_t>(written), text.size() - 1));
}

} // namespace tembrel::remote
