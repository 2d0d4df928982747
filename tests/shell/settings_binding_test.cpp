// Settings through the controller: what loading sets (port and Location
// fields, volume, spectrum state, check mark), the save button's notice and
// what every exit stores.
#include <QTemporaryDir>

#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include "settings_fixture.h"
#include "shell/SettingsBinding.h"
#include "support/FakeSoundLibrary.h"
#include "support/RecordingView.h"

namespace tembrel::test {
namespace {

using remote::CServerDlg;
using remote::SpectrumRate;
using Values = std::map<std::string, std::string>;
using Locations = std::array<std::string, 5>;

// One run of the program: a controller with its view, on a settings file.
class ProgramRun {
public:
    explicit ProgramRun(const SettingsFile& file)
        : store_(file.path(), [this](std::string_view line) { storeLog.emplace_back(line); }) {
        CServerDlg::Options options;
        options.uploadDir = std::filesystem::path(uploads_.path().toStdString());
        controller_ = std::make_unique<CServerDlg>(sound_, view, std::move(options));
    }

    void load() { shell::loadSettings(store_, *controller_); }
    void save() { shell::saveSettings(store_, *controller_); }
    void exit() { shell::saveExitSettings(store_, *controller_); }
    CServerDlg& controller() { return *controller_; }

    RecordingView view;
    std::vector<std::string> storeLog;

private:
    QTemporaryDir uploads_;
    FakeSoundLibrary sound_;
    shell::SettingsStore store_;
    std::unique_ptr<CServerDlg> controller_;
};

void expectSpectrum(const CServerDlg& controller, int on, int fps, int periodMs) {
    const remote::SpectrumState& state = controller.spectrumState();
    EXPECT_EQ(state.spectrumOn, on);
    EXPECT_EQ(state.spectrumFps, fps);
    EXPECT_EQ(state.spectrumPeriodMs, periodMs);
}

TEST(SettingsBinding, FirstRunLeavesEveryDefaultAndChecksNothing) {
    SettingsFile file;
    ProgramRun run(file);
    run.load();
    EXPECT_EQ(run.controller().portText(), "6000");
    EXPECT_EQ(run.controller().locations(), Locations{});
    EXPECT_EQ(run.controller().soundEngine().volume(), 128);
    expectSpectrum(run.controller(), 0, 0, 1000);
    EXPECT_TRUE(run.view.checkMarks.empty());
    EXPECT_EQ(run.view.fieldChanges, 1);
}

TEST(SettingsBinding, ExitAfterFirstRunStoresExactlyThePlaybackGroup) {
    SettingsFile file;
    {
        ProgramRun run(file);
        run.load();
        run.exit();
        EXPECT_TRUE(run.view.notices.empty()); // exits are silent
    }
    EXPECT_EQ(file.values(),
              (Values{{"Volume", "128"}, {"DSP", "1"}, {"Settings2Saved", "SettingsSaved"}}));

    // The next start: "Off" checked now, port and Locations still defaults.
    ProgramRun next(file);
    next.load();
    EXPECT_EQ(next.view.checkMarks, std::vector<int>{1});
    EXPECT_EQ(next.controller().portText(), "6000");
    EXPECT_EQ(next.controller().locations(), Locations{});
}

TEST(SettingsBinding, EverythingSavedComesBackAtTheNextStart) {
    SettingsFile file;
    {
        ProgramRun run(file);
        run.load();
        run.controller().setPortText("6123");
        run.controller().setLocation(0, "/music/one");
        run.controller().setLocation(4, "/music/five");
        run.save();
        run.controller().soundEngine().setVolume(200);
        run.controller().setSpectrumRate(SpectrumRate::Fps60);
        run.exit();
    }
    ProgramRun next(file);
    next.load();
    EXPECT_EQ(next.controller().portText(), "6123");
    EXPECT_EQ(next.controller().locations(), (Locations{"/music/one", "", "", "", "/music/five"}));
    EXPECT_EQ(next.controller().soundEngine().volume(), 200);
    expectSpectrum(next.controller(), 1, 60, 16);
    EXPECT_EQ(next.view.checkMarks, std::vector<int>{4});
}

TEST(SettingsBinding, StoredDspCodeSetsTheSpectrumAndItsCheckMark) {
    struct Case {
        int code;
        int on, fps, periodMs;
    };
    for (const Case& c :
         {Case{1, 0, 0, 1000}, Case{2, 1, 15, 66}, Case{3, 1, 30, 33}, Case{4, 1, 60, 16}}) {
        // A file of its own per case: Qt caches a settings file by path, size
        // and time stamp, and these texts differ in one digit only.
        SettingsFile file;
        file.write("[Settings]\nSettings2Saved=SettingsSaved\nVolume=90\nDSP=" +
                   std::to_string(c.code) + "\n");
        ProgramRun run(file);
        run.load();
        SCOPED_TRACE(c.code);
        expectSpectrum(run.controller(), c.on, c.fps, c.periodMs);
        EXPECT_EQ(run.view.checkMarks, std::vector<int>{c.code});
        EXPECT_EQ(run.controller().soundEngine().volume(), 90);
    }
}

TEST(SettingsBinding, DspCodeOutsideOneToFourChangesNothingAndExitStoresOne) {
    SettingsFile file;
    file.write("[Settings]\nSettings2Saved=SettingsSaved\nVolume=40\nDSP=7\n");
    {
        ProgramRun run(file);
        run.load();
        expectSpectrum(run.controller(), 0, 0, 1000);
        EXPECT_TRUE(run.view.checkMarks.empty());
        EXPECT_EQ(run.controller().soundEngine().volume(), 40);
        run.exit();
    }
    EXPECT_EQ(file.values().at("DSP"), "1");
    EXPECT_EQ(file.values().at("Volume"), "40");
}

TEST(SettingsBinding, PlaybackMarkerHoldingItsOwnNameIsNotAccepted) {
    SettingsFile file;
    file.write("[Settings]\nSettings2Saved=Settings2Saved\nVolume=40\nDSP=3\n");
    ProgramRun run(file);
    run.load();
    EXPECT_EQ(run.controller().soundEngine().volume(), 128);
    expectSpectrum(run.controller(), 0, 0, 1000);
    EXPECT_EQ(run.view.checkMarks, std::vector<int>{1}); // "Off"
}

TEST(SettingsBinding, SavingEmptyLocationsStoresFiveEmptyTextsAndTellsTheUser) {
    SettingsFile file;
    {
        ProgramRun run(file);
        run.load();
        run.save();
        ASSERT_EQ(run.view.notices.size(), 1u);
        EXPECT_EQ(run.view.notices[0].caption, "Tembrel Server");
        EXPECT_EQ(run.view.notices[0].text, "Settings Saved");
        EXPECT_EQ(run.view.notices[0].kind, remote::ServerView::NoticeKind::Information);
    }
    EXPECT_EQ(file.values(), (Values{{"ServerPort", "6000"},
                                     {"Location1", ""},
                                     {"Location2", ""},
                                     {"Location3", ""},
                                     {"Location4", ""},
                                     {"Location5", ""},
                                     {"SettingsSaved", "SettingsSaved"}}));
    ProgramRun next(file);
    next.load();
    EXPECT_EQ(next.controller().locations(), Locations{});
}

TEST(SettingsBinding, FailedSaveStillEndsWithTheNotice) {
    SettingsFile file;
    std::filesystem::create_directory(file.path()); // cannot be written as a file
    ProgramRun run(file);
    run.save();
    ASSERT_EQ(run.view.notices.size(), 1u);
    EXPECT_EQ(run.view.notices[0].text, "Settings Saved");
    EXPECT_EQ(run.storeLog.size(), 1u);
}

TEST(SettingsBinding, DamagedFileStartsLikeAFirstRun) {
    SettingsFile file;
    file.write("[Settings\nServerPort=7000\nSettings2Saved=SettingsSaved\nDSP=3\n[[[\n");
    ProgramRun run(file);
    run.load();
    EXPECT_EQ(run.controller().portText(), "6000");
    EXPECT_EQ(run.controller().soundEngine().volume(), 128);
    expectSpectrum(run.controller(), 0, 0, 1000);
    EXPECT_TRUE(run.view.checkMarks.empty());
    EXPECT_EQ(run.storeLog.size(), 1u);
}

TEST(SettingsBinding, LongTextsSurviveARestartWhole) {
    SettingsFile file;
    const std::string longPath = "/" + std::string(200, 'x');
    {
        ProgramRun run(file);
        run.controller().setPortText(std::string(130, '6'));
        run.controller().setLocation(2, longPath);
        run.save();
    }
    ProgramRun next(file);
    next.load();
    EXPECT_EQ(next.controller().portText(), std::string(130, '6'));
    EXPECT_EQ(next.controller().locations()[2], longPath);
}

} // namespace
} // namespace tembrel::test
