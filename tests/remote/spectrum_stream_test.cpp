// The spectrum stream over a real connection: the rate notices, the rates
// themselves, the "^Spectrum" format and the state the DSP menu keeps.
#include <algorithm>
#include <chrono>

#include <gtest/gtest.h>

#include "remote/ControllerHarness.h"
#include "support/FakeSoundLibrary.h"

namespace tembrel::test {
namespace {

using net::CNDKMessage;
using remote::SpectrumRate;
using Clock = std::chrono::steady_clock;

class SpectrumTest : public ::testing::Test {
protected:
    void serve(bool soundStarts = true) {
        auto fake = std::make_unique<FakeSoundLibrary>();
        fake_ = fake.get();
        if (!soundStarts) {
            fake_->failInit(playback::kErrInitialization);
        }
        playback::Spectrum spectrum{};
        std::fill_n(spectrum.begin(), 8, 0.05f);       // band 0: 40
        std::fill_n(spectrum.begin() + 8, 8, 1.0f);    // never read
        std::fill_n(spectrum.begin() + 16, 8, 0.2f);   // band 1: clamped to 100
        std::fill_n(spectrum.begin() + 240, 8, -0.1f); // band 15: -80
        fake_->setSpectrum(spectrum);
        fake_->setCpuUsage(12.5f);
        served_ = std::make_unique<ControllerHarness>(std::move(fake), ControllerHarness::Setup{});
        ASSERT_TRUE(served_->started());
        ASSERT_FALSE(connectAndJoin(client_, served_->port(), "watcher").empty());
    }

    // The spectrum replies that arrive within `ms`.
    std::vector<CNDKMessage> spectraDuring(int ms) {
        std::vector<CNDKMessage> spectra;
        const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < deadline) {
            for (auto& message : client_.drain(5)) {
                if (nameOf(message) == "^Spectrum") {
                    spectra.push_back(std::move(message));
                }
            }
        }
        return spectra;
    }

    // The next rate notice ("^StartSpectrum" / "^StopSpectrum").
    CNDKMessage nextNotice() {
        const auto received = client_.receiveUntil([](const CNDKMessage& m) {
            return nameOf(m) == "^StartSpectrum" || nameOf(m) == "^StopSpectrum";
        });
        return received ? received->back() : CNDKMessage();
    }

    // Waits for the first spectrum after a rate change: the timer armed
    // before it still runs out its old period (1000 ms at start).
    bool spectrumArrives() {
        return client_
            .receiveUntil([](const CNDKMessage& m) { return nameOf(m) == "^Spectrum"; }, 3000)
            .has_value();
    }

    FakeSoundLibrary* fake_ = nullptr;
    std::unique_ptr<ControllerHarness> served_;
    TestClient client_;
};

TEST_F(SpectrumTest, BroadcastsTheBandsAtTheChosenRate) {
    serve();
    EXPECT_TRUE(spectraDuring(300).empty());

    struct Case {
        SpectrumRate rate;
        int periodMs;
        double fps;
    };
    for (const Case& c : {Case{SpectrumRate::Fps15, 66, 15}, Case{SpectrumRate::Fps30, 33, 30},
                          Case{SpectrumRate::Fps60, 16, 60}}) {
        served_->server().setSpectrumRate(c.rate);
        const CNDKMessage notice = nextNotice();
        EXPECT_EQ(nameOf(notice), "^StartSpectrum");
        EXPECT_EQ(notice.valueCount(), 1);
        EXPECT_EQ(served_->server().spectrumState().spectrumPeriodMs, c.periodMs);
        // Settle into the new period, then count over 1.5 s.
        ASSERT_TRUE(spectrumArrives());
        (void)spectraDuring(100);
        const auto spectra = spectraDuring(1500);
        const double measured = static_cast<double>(spectra.size()) / 1.5;
        // A loaded machine may lose many steps; the rates must stay distinct.
        EXPECT_GT(measured, c.fps * 0.5) << static_cast<int>(c.rate);
        EXPECT_LT(measured, c.fps * 1.5) << static_cast<int>(c.rate);
        for (const auto& spectrum : spectra) {
            EXPECT_EQ(textAt(spectrum, 1), "40\\100\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\-80");
        }
    }
    EXPECT_EQ(served_->view().statusLines.back(), "CPU Usage: 12.50%");
    EXPECT_EQ(served_->view().checkMarks.back(), 4);
    EXPECT_EQ(served_->server().currentDspCode(), 4);
}

TEST_F(SpectrumTest, OffStopsTheStreamAndKeepsThePeriod) {
    serve();
    served_->server().setSpectrumRate(SpectrumRate::Fps60);
    (void)nextNotice();
    ASSERT_TRUE(spectrumArrives());

    served_->server().setSpectrumRate(SpectrumRate::Off);
    const CNDKMessage notice = nextNotice();
    EXPECT_EQ(nameOf(notice), "^StopSpectrum");
    EXPECT_EQ(notice.valueCount(), 1);
    const std::size_t statusLines = served_->view().statusLines.size();
    EXPECT_TRUE(spectraDuring(400).empty());
    EXPECT_EQ(served_->view().statusLines.size(), statusLines);

    const auto& state = served_->server().spectrumState();
    EXPECT_EQ(state.spectrumOn, 0);
    EXPECT_EQ(state.spectrumFps, 0);
    EXPECT_EQ(state.spectrumPeriodMs, 16);
    EXPECT_EQ(served_->view().checkMarks.back(), 1);
    EXPECT_EQ(served_->server().currentDspCode(), 1);

    // A restart keeps the period and sends nothing while off.
    served_->restart();
    ASSERT_TRUE(served_->started());
    TestClient again;
    ASSERT_FALSE(connectAndJoin(again, served_->port(), "again").empty());
    EXPECT_EQ(served_->server().spectrumState().spectrumPeriodMs, 16);
    again.drain(300);
    const auto late = again.drain(300);
    EXPECT_EQ(countNamed(late, "^Spectrum"), 0);
}

TEST_F(SpectrumTest, StoredRatesApplyWithoutNotices) {
    serve();
    served_->server().applyDspCode(3);
    const auto& state = served_->server().spectrumState();
    EXPECT_EQ(state.spectrumOn, 1);
    EXPECT_EQ(state.spectrumFps, 30);
    EXPECT_EQ(state.spectrumPeriodMs, 33);
    EXPECT_EQ(served_->view().checkMarks.back(), 3);
    EXPECT_EQ(served_->server().currentDspCode(), 3);

    // Codes outside 1-4 change nothing.
    const std::size_t marks = served_->view().checkMarks.size();
    for (const int code : {0, 5, -1}) {
        served_->server().applyDspCode(code);
    }
    EXPECT_EQ(served_->view().checkMarks.size(), marks);
    EXPECT_EQ(state.spectrumFps, 30);

    served_->server().applyDspCode(1);
    EXPECT_EQ(state.spectrumOn, 0);
    EXPECT_EQ(state.spectrumPeriodMs, 33);

    const auto received = client_.drain(300);
    EXPECT_EQ(countNamed(received, "^StartSpectrum") + countNamed(received, "^StopSpectrum"), 0);
}

TEST_F(SpectrumTest, WithoutASoundLibraryTheStreamCarriesZeros) {
    serve(false);
    ASSERT_FALSE(served_->server().soundEngine().spectrumAvailable());
    served_->server().setSpectrumRate(SpectrumRate::Fps30);
    (void)nextNotice();
    ASSERT_TRUE(spectrumArrives());
    const auto spectra = spectraDuring(300);
    ASSERT_FALSE(spectra.empty());
    for (const auto& spectrum : spectra) {
        EXPECT_EQ(textAt(spectrum, 1), "0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0\\0");
    }
    EXPECT_EQ(served_->view().statusLines.back(), "CPU Usage: 0.00%");
}

} // namespace
} // namespace tembrel::test
