// Writing and reading the "^Spectrum" payload.
#include "protocol/SpectrumPayload.h"

#include <array>
#include <charconv>
#include <cstdio>

#include "protocol/Replies.h"

namespace tembrel::protocol {

namespace {

// "-2147483648\" for every band, plus the terminator.
constexpr std::size_t kBandTextCapacity = kBandCount * 12 + 1;

} // namespace

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

std::optional<BandValues> parseBands(std::string_view payload) {
    BandValues bands{};
    std::size_t band = 0;
    while (true) {
        const auto cut = payload.find(kFieldSeparator);
        const std::string_view field = payload.substr(0, cut);
        if (band == bands.size() || field.empty() || field.front() == '+') {
            return std::nullopt;
        }
        int value = 0;
        const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
        if (error != std::errc{} || end != field.data() + field.size()) {
            return std::nullopt;
        }
        bands[band++] = value;
        if (cut == std::string_view::npos) {
            break;
        }
        payload.remove_prefix(cut + 1);
    }
    if (band != bands.size()) {
        return std::nullopt;
    }
    return bands;
}

} // namespace tembrel::protocol
