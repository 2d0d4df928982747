// Spectrum drawing.
#include "Spectrum.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace tembrel::client {

namespace {

// Eighths of a cell, from one eighth to a full block.
constexpr std::array<std::string_view, 8> kBlocks{"▁", "▂", "▃", "▄", "▅", "▆", "▇", "█"};
constexpr int kEighths = 8;

} // namespace

std::vector<std::string> spectrumRows(const SpectrumBands& bands, int rows, int bandWidth) {
    std::vector<std::string> lines(static_cast<std::size_t>(std::max(rows, 0)));
    for (const int value : bands) {
        const int clamped = std::clamp(value, 0, protocol::kMaxBandValue);
        // Height in eighths of a line. The square root lifts the quiet bands
        // (music mostly sits well below full scale) while keeping the order.
        const double fraction = std::sqrt(static_cast<double>(clamped) / protocol::kMaxBandValue);
        const int height = static_cast<int>(std::lround(fraction * rows * kEighths));
        for (int row = 0; row < rows; ++row) {
            const int fromBottom = rows - 1 - row;
            const int fill = std::clamp(height - fromBottom * kEighths, 0, kEighths);
            std::string cell;
            for (int i = 0; i < bandWidth; ++i) {
                cell +=
                    fill == 0 ? std::string_view(" ") : kBlocks[static_cast<std::size_t>(fill - 1)];
            }
            lines[static_cast<std::size_t>(row)] += cell + " ";
        }
    }
    return lines;
}

} // namespace tembrel::client
