// The reduction of a spectrum to 16 bar heights and the texts of the
// spectrum step.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "playback/SoundLibrary.h"
#include "remote/CpuUsageText.h"
#include "remote/SpectrumBands.h"

namespace tembrel::remote {
namespace {

using playback::Spectrum;

void fillBand(Spectrum& spectrum, int band, float value) {
    std::fill_n(spectrum.begin() + band * 16, 8, value);
}

TEST(SpectrumBands, SumsTheFirstEightValuesOfEachGroupOfSixteen) {
    Spectrum spectrum{};
    fillBand(spectrum, 0, 0.05f);
    EXPECT_EQ(computeBands(spectrum)[0], 40);

    // Each band sees only its own group: value b/32 at the group's last read
    // index gives b * 3.125, truncated.
    Spectrum staircase{};
    for (int b = 0; b < kBandCount; ++b) {
        staircase[static_cast<std::size_t>(b * 16 + 7)] = static_cast<float>(b) / 32.0f;
    }
    const BandValues bands = computeBands(staircase);
    for (int b = 0; b < kBandCount; ++b) {
        EXPECT_EQ(bands[static_cast<std::size_t>(b)], static_cast<int>(b * 3.125)) << "band " << b;
    }
}

TEST(SpectrumBands, ClampsTheSumAtOne) {
    Spectrum spectrum{};
    fillBand(spectrum, 3, 0.2f);
    fillBand(spectrum, 15, 1.0f);
    const BandValues bands = computeBands(spectrum);
    EXPECT_EQ(bands[3], 100);
    EXPECT_EQ(bands[15], 100);
    EXPECT_EQ(bands[0], 0);
}

TEST(SpectrumBands, NeverReadsTheSecondHalfOfAGroupNorBeyondTheLastBand) {
    Spectrum spectrum{};
    for (std::size_t i = 0; i < spectrum.size(); ++i) {
        const bool read = i < kSpectrumValuesRead && i % 16 < 8;
        spectrum[i] = read ? 0.0f : 1.0f;
    }
    const BandValues bands = computeBands(spectrum);
    EXPECT_TRUE(std::all_of(bands.begin(), bands.end(), [](int v) { return v == 0; }));
}

TEST(SpectrumBands, KeepsNegativeValues) {
    Spectrum spectrum{};
    fillBand(spectrum, 1, -0.1f);
    std::fill_n(spectrum.begin() + 32, 4, 0.3f);
    std::fill_n(spectrum.begin() + 36, 4, -0.1f);
    const BandValues bands = computeBands(spectrum);
    EXPECT_EQ(bands[1], -80);
    EXPECT_EQ(bands[2], 80);
}

TEST(SpectrumBands, OddValuesGiveDefinedResults) {
    Spectrum spectrum{};
    fillBand(spectrum, 0, std::numeric_limits<float>::quiet_NaN());
    fillBand(spectrum, 1, std::numeric_limits<float>::infinity());
    fillBand(spectrum, 2, -FLT_MAX);
    spectrum[48] = -std::numeric_limits<float>::infinity();
    const BandValues bands = computeBands(spectrum);
    EXPECT_EQ(bands[0], 0);
    EXPECT_EQ(bands[1], 100);
    EXPECT_EQ(bands[3], 0);
    EXPECT_EQ(bands[2], std::numeric_limits<int>::min());
}

TEST(SpectrumBands, ShortInputCountsMissingValuesAsZero) {
    const std::array<float, 20> shortSpectrum{0.5f, 0.5f, 0.5f, 0.5f, 0, 0, 0, 0, 0, 0,
                                              0,    0,    0,    0,    0, 0, 1, 1, 1, 1};
    const BandValues bands = computeBands(shortSpectrum);
    EXPECT_EQ(bands[0], 100);
    EXPECT_EQ(bands[1], 100);
    EXPECT_EQ(bands[2], 0);
}

TEST(SpectrumBands, FormatsSixteenDecimalsJoinedByBackslashes) {
    BandValues bands{};
    for (int b = 0; b < kBandCount; ++b) {
        bands[static_cast<std::size_t>(b)] = b * 7 - 20;
    }
    const std::string text = formatBands(bands);
    EXPECT_EQ(text, "-20\\-13\\-6\\1\\8\\15\\22\\29\\36\\43\\50\\57\\64\\71\\78\\85");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\\'), 15);

    bands.fill(std::numeric_limits<int>::min());
    const std::string widest = formatBands(bands);
    EXPECT_EQ(std::count(widest.begin(), widest.end(), '\\'), 15);
    EXPECT_EQ(widest.size(), 16u * 11u + 15u);
}

TEST(SpectrumBands, CpuLineShowsTwoDecimalsAndAPercentSign) {
    EXPECT_EQ(formatCpuUsage(0.0f), "CPU Usage: 0.00%");
    EXPECT_EQ(formatCpuUsage(3.256f), "CPU Usage: 3.26%");
    EXPECT_EQ(formatCpuUsage(100.0f), "CPU Usage: 100.00%");
}

} // namespace
} // namespace tembrel::remote
