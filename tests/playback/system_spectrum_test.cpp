// The real sound library's spectrum of what it is playing.
#include <algorithm>

#include <gtest/gtest.h>

#include "support/AudioFixtures.h"
#include "system_library_support.h"

namespace tembrel::test {
namespace {

using namespace std::chrono_literals;
using playback::kNoStream;
using playback::OpenPurpose;
using playback::Spectrum;
using playback::StreamHandle;

constexpr int kChannel = 1;

// Bin of a frequency in a 1024-point FFT at 44.1 kHz.
constexpr std::size_t binOf(int hz) {
    return static_cast<std::size_t>(hz * 1024.0 / 44100.0 + 0.5);
}

std::size_t peakBin(const Spectrum& spectrum) {
    return static_cast<std::size_t>(
        std::distance(spectrum.begin(), std::max_element(spectrum.begin(), spectrum.end())));
}

float peak(const Spectrum& spectrum) {
    return *std::max_element(spectrum.begin(), spectrum.end());
}

class SystemSpectrum : public ::testing::Test {
protected:
    StreamHandle play(const ToneSpec& tone, int volume) {
        const auto file = dir_.path() / ("tone" + std::to_string(files_++) + ".mp3");
        EXPECT_TRUE(makeMp3(file, tone));
        const StreamHandle stream = library_->openStream(file.string(), OpenPurpose::Playback);
        EXPECT_NE(stream, kNoStream);
        EXPECT_EQ(library_->playStream(kChannel, stream), kChannel);
        EXPECT_TRUE(library_->setVolume(kChannel, volume));
        return stream;
    }

    // The spectrum once the output has played a good part of a second.
    Spectrum settled(StreamHandle stream) {
        EXPECT_TRUE(pumpUntil([&] { return library_->streamTime(stream) >= 400; }, 3s));
        Spectrum spectrum{};
        EXPECT_TRUE(library_->readSpectrum(spectrum));
        return spectrum;
    }

    TempDir dir_;
    int files_ = 0;
    std::unique_ptr<playback::SoundLibrary> library_ = startedSilentLibrary();
};

TEST_F(SystemSpectrum, FullScaleSinePeaksNearOneInItsBin) {
    const Spectrum spectrum = settled(play({.seconds = 3.0, .frequencyHz = 1000}, 255));
    RecordProperty("peak_magnitude", std::to_string(peak(spectrum)));
    EXPECT_EQ(peakBin(spectrum), binOf(1000));
    EXPECT_GT(peak(spectrum), 0.8f);
    EXPECT_LE(peak(spectrum), 1.0f);
    // Far from the tone there is next to nothing.
    EXPECT_LT(spectrum[binOf(5000)], 0.01f);
}

TEST_F(SystemSpectrum, PeakFollowsFrequencyAndVolume) {
    const Spectrum loud = settled(play({.seconds = 3.0, .frequencyHz = 3000}, 255));
    EXPECT_EQ(peakBin(loud), binOf(3000));
    const StreamHandle quiet = play({.seconds = 3.0, .frequencyHz = 3000}, 64);
    const Spectrum soft = settled(quiet);
    EXPECT_EQ(peakBin(soft), binOf(3000));
    EXPECT_NEAR(peak(soft) / peak(loud), 64.0f / 255.0f, 0.05f);
    // A volume change is heard at once: within the next output buffers.
    ASSERT_TRUE(library_->setVolume(kChannel, 0));
    pumpFor(400ms);
    Spectrum muted{};
    ASSERT_TRUE(library_->readSpectrum(muted));
    EXPECT_EQ(peak(muted), 0.0f);
}

TEST_F(SystemSpectrum, SilenceAndIdleGiveZeros) {
    Spectrum spectrum{};
    spectrum.fill(0.5f);
    ASSERT_TRUE(library_->readSpectrum(spectrum));
    EXPECT_EQ(peak(spectrum), 0.0f); // nothing played yet

    const StreamHandle silent = play({.seconds = 2.0, .silent = true}, 255);
    EXPECT_EQ(peak(settled(silent)), 0.0f);

    const StreamHandle tone = play({.seconds = 3.0}, 255);
    EXPECT_GT(peak(settled(tone)), 0.5f);
    ASSERT_TRUE(library_->stopStream(tone));
    pumpFor(400ms);
    ASSERT_TRUE(library_->readSpectrum(spectrum));
    EXPECT_EQ(peak(spectrum), 0.0f); // stopped: the output plays silence
}

TEST_F(SystemSpectrum, InactiveAnalysisGivesZerosAndClosedLibraryNone) {
    const StreamHandle tone = play({.seconds = 3.0}, 255);
    library_->setSpectrumActive(false);
    Spectrum spectrum = settled(tone);
    EXPECT_EQ(peak(spectrum), 0.0f);
    library_->setSpectrumActive(true);
    pumpFor(250ms);
    ASSERT_TRUE(library_->readSpectrum(spectrum));
    EXPECT_GT(peak(spectrum), 0.5f);
    library_->close();
    EXPECT_FALSE(library_->readSpectrum(spectrum));
    EXPECT_EQ(library_->lastError(), playback::kErrUninitialized);
}

} // namespace
} // namespace tembrel::test
