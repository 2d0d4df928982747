// The settings store on its own: the two groups and their markers, what is
// read when, value checks, texts kept whole, damaged files and atomic writes.
#include <sys/stat.h>
#include <unistd.h>

#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include "settings_fixture.h"
#include "shell/SettingsStore.h"

namespace tembrel::test {
namespace {

using shell::LoadedSettings;
using shell::SettingsStore;
using Values = std::map<std::string, std::string>;
using Locations = std::array<std::string, 5>;

SettingsStore storeFor(SettingsFile& file) {
    return SettingsStore(file.path(),
                         [&file](std::string_view line) { file.log.emplace_back(line); });
}

TEST(SettingsStore, FirstRunGivesTheDefaultsAndWritesNothing) {
    SettingsFile file;
    const LoadedSettings loaded = storeFor(file).load();
    EXPECT_EQ(loaded.portText, "6000");
    EXPECT_EQ(loaded.locations, Locations{});
    EXPECT_EQ(loaded.volume, 128);
    EXPECT_EQ(loaded.dspCode, 0); // nothing to apply: no rate gets checked
    EXPECT_FALSE(file.exists());
    EXPECT_TRUE(file.log.empty());
}

TEST(SettingsStore, DefaultStoreIsTheQuenmarkFileOfOrvanik) {
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    // Keeps this test away from the real user folder; Qt's own default comes
    // back afterwards.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
    const std::unique_ptr<void, void (*)(void*)> restore(&config, [](void*) {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    });

    SettingsStore store;
    store.savePlayback(99, 3);
    const std::filesystem::path expected =
        std::filesystem::path(config.path().toStdString()) / "Orvanik" / "Quenmark.ini";
    ASSERT_TRUE(std::filesystem::exists(expected));
    QSettings written(QString::fromStdString(expected.string()), QSettings::IniFormat);
    EXPECT_EQ(written.value("Settings/Volume").toInt(), 99);
    EXPECT_EQ(store.load().volume, 99);
}

TEST(SettingsStore, ConnectionGroupIsWrittenWithItsMarkerOnly) {
    SettingsFile file;
    SettingsStore store = storeFor(file);
    store.saveConnection("6123", {"/music/a", "", "/music/c, with comma", "", "/m\xC3\xBCsic"});

    EXPECT_EQ(file.values(), (Values{{"ServerPort", "6123"},
                                     {"Location1", "/music/a"},
                                     {"Location2", ""},
                                     {"Location3", "/music/c, with comma"},
                                     {"Location4", ""},
                                     {"Location5", "/m\xC3\xBCsic"},
                                     {"SettingsSaved", "SettingsSaved"}}));
    const LoadedSettings loaded = store.load();
    EXPECT_EQ(loaded.portText, "6123");
    EXPECT_EQ(loaded.locations,
              (Locations{"/music/a", "", "/music/c, with comma", "", "/m\xC3\xBCsic"}));
    // The playback marker is missing: volume 128 and code 1.
    EXPECT_EQ(loaded.volume, 128);
    EXPECT_EQ(loaded.dspCode, 1);
}

TEST(SettingsStore, PlaybackGroupMarkerHoldsTheFirstMarkersText) {
    SettingsFile file;
    SettingsStore store = storeFor(file);
    store.savePlayback(200, 4);

    EXPECT_EQ(file.values(),
              (Values{{"Volume", "200"}, {"DSP", "4"}, {"Settings2Saved", "SettingsSaved"}}));
    const LoadedSettings loaded = store.load();
    EXPECT_EQ(loaded.volume, 200);
    EXPECT_EQ(loaded.dspCode, 4);
    EXPECT_EQ(loaded.portText, "6000");
    EXPECT_EQ(loaded.locations, Locations{});
}

TEST(SettingsStore, PortIsReadOnlyUnderAnAcceptedMarkerButLocationsAlways) {
    SettingsFile file;
    SettingsStore store = storeFor(file);
    for (const char* marker : {"", "SettingsSaved=settingssaved\n", "SettingsSaved=Settings\n",
                               "SettingsSaved=SettingsSaved2\n"}) {
        file.write(std::string("[Settings]\nServerPort=7000\nLocation2=/x\n") + marker);
        const LoadedSettings loaded = store.load();
        EXPECT_EQ(loaded.portText, "6000") << marker;
        EXPECT_EQ(loaded.locations[1], "/x") << marker;
    }
    file.write("[Settings]\nServerPort=not a number\nSettingsSaved=SettingsSaved\n");
    EXPECT_EQ(store.load().portText, "not a number"); // stored as typed
    // A text stored with its terminating zero byte is the same text.
    file.write("[Settings]\nServerPort=7001\nSettingsSaved=SettingsSaved\\0\n");
    EXPECT_EQ(store.load().portText, "7001");
    // An accepted marker without a port keeps the default port.
    file.write("[Settings]\nSettingsSaved=SettingsSaved\n");
    EXPECT_EQ(store.load().portText, "6000");
}

TEST(SettingsStore, VolumeAndDspAreReadOnlyUnderTheirOwnMarker) {
    SettingsFile file;
    SettingsStore store = storeFor(file);
    // The marker holding its own name is not accepted.
    file.write("[Settings]\nVolume=50\nDSP=3\nSettings2Saved=Settings2Saved\n"
               "SettingsSaved=SettingsSaved\n");
    LoadedSettings loaded = store.load();
    EXPECT_EQ(loaded.volume, 128);
    EXPECT_EQ(loaded.dspCode, 1);

    file.write("[Settings]\nVolume=50\nDSP=3\nSettings2Saved=SettingsSaved\n");
    loaded = store.load();
    EXPECT_EQ(loaded.volume, 50);
    EXPECT_EQ(loaded.dspCode, 3);
}

TEST(SettingsStore, StoredNumbersAreCheckedButCodesKeptAsStored) {
    SettingsFile file;
    SettingsStore store = storeFor(file);
    struct Case {
        const char* volume;
        const char* dsp;
        int expectedVolume;
        int expectedCode;
    };
    for (const Case& c :
         {Case{"300", "7", 255, 7}, Case{"-4", "0", 0, 0}, Case{"99999999999", "-2", 255, -2},
          Case{"loud", "fast", 128, 1}, Case{"255", "99999999999", 255, 0}}) {
        file.write(std::string("[Settings]\nSettings2Saved=SettingsSaved\nVolume=") + c.volume +
                   "\nDSP=" + c.dsp + "\n");
        const LoadedSettings loaded = store.load();
        EXPECT_EQ(loaded.volume, c.expectedVolume) << c.volume;
        EXPECT_EQ(loaded.dspCode, c.expectedCode) << c.dsp;
    }
}

TEST(SettingsStore, TextsOfAnyLengthAreKeptWhole) {
    SettingsFile file;
    SettingsStore store = storeFor(file);
    std::string deep = "/srv";
    while (deep.size() < 600) {
        deep += "/a folder with a long name \xC3\xA9";
    }
    store.saveConnection("6000", {deep, std::string(128, 'p'), "", "", ""});

    const LoadedSettings loaded = store.load();
    EXPECT_EQ(loaded.locations[0], deep);
    EXPECT_EQ(loaded.locations[1], std::string(128, 'p'));
    // Saving again writes back exactly what was read.
    store.saveConnection(loaded.portText, loaded.locations);
    EXPECT_EQ(store.load().locations[0], deep);
    EXPECT_TRUE(file.log.empty());
}

TEST(SettingsStore, SettingsThatCannotBeUsedAreLogged) {
    SettingsFile file;
    SettingsStore store = storeFor(file);
    file.write("[Settings]\nSettings2Saved=SettingsSaved\nVolume=300\nDSP=7\n"
               "Formats=\"flac, exe, MP3\"\n");
    const LoadedSettings loaded = store.load();
    EXPECT_EQ(loaded.formats, "flac,mp3");
    EXPECT_EQ(file.log,
              (std::vector<std::string>{
                  "Setting Volume 300 is outside 0 to 255; using 255",
                  "Setting DSP 7 is not 1 to 4; the spectrum stays off",
                  "Setting Formats: \"exe\" is not a format the server plays; left out"}));

    file.log.clear();
    file.write("[Settings]\nFormats=doc\n");
    EXPECT_EQ(store.load().formats, std::nullopt);
    ASSERT_EQ(file.log.size(), 2U);
    EXPECT_EQ(file.log[1], "Setting Formats names no format the server plays; using "
                           "mp3,wma,flac,ogg,oga,opus,m4a,wav");
}

TEST(SettingsStore, DamagedOrUnreadableFileGivesTheDefaultsAndALogLine) {
    SettingsFile file;
    SettingsStore store = storeFor(file);
    constexpr char kDamaged[] = "[Settings\nVol\0ume=12\nSettings2Saved=SettingsSaved\n[[[\n";
    file.write(std::string(kDamaged, sizeof kDamaged - 1));
    LoadedSettings loaded = store.load();
    EXPECT_EQ(loaded.volume, 128);
    EXPECT_EQ(loaded.dspCode, 0);
    ASSERT_EQ(file.log.size(), 1u);
    EXPECT_NE(file.log[0].find("damaged"), std::string::npos) << file.log[0];

    // A folder where the file should be cannot be read as settings.
    std::filesystem::remove(file.path());
    std::filesystem::create_directory(file.path());
    loaded = store.load();
    EXPECT_EQ(loaded.portText, "6000");
    EXPECT_EQ(loaded.dspCode, 0);
    ASSERT_EQ(file.log.size(), 2u);
    EXPECT_NE(file.log[1].find("cannot be read"), std::string::npos) << file.log[1];

    // Saving there fails with a log line and nothing else.
    store.savePlayback(1, 1);
    ASSERT_EQ(file.log.size(), 3u);
    EXPECT_NE(file.log[2].find("could not be saved"), std::string::npos) << file.log[2];
}

TEST(SettingsStore, UnreadablePermissionsGiveTheDefaults) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "permissions do not stop root from reading a file";
    }
    SettingsFile file;
    SettingsStore store = storeFor(file);
    store.savePlayback(10, 2);
    ASSERT_EQ(chmod(file.path().c_str(), 0), 0);
    EXPECT_EQ(store.load().volume, 128);
    EXPECT_EQ(file.log.size(), 1u);
}

TEST(SettingsStore, SavingReplacesTheFileWholeAndKeepsTheOtherGroup) {
    SettingsFile file;
    SettingsStore store = storeFor(file);
    store.savePlayback(64, 2);
    struct stat before {};
    ASSERT_EQ(stat(file.path().c_str(), &before), 0);

    store.saveConnection("6001", {"/a", "", "", "", ""});
    struct stat after {};
    ASSERT_EQ(stat(file.path().c_str(), &after), 0);
    // A new file took the old one's place: it was written aside and renamed,
    // never rewritten in place, so an interrupted save leaves the old file.
    EXPECT_NE(before.st_ino, after.st_ino);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.folder()),
                            std::filesystem::directory_iterator()),
              1);

    const LoadedSettings loaded = store.load();
    EXPECT_EQ(loaded.volume, 64);
    EXPECT_EQ(loaded.dspCode, 2);
    EXPECT_EQ(loaded.portText, "6001");
    EXPECT_EQ(loaded.locations[0], "/a");
}

TEST(SettingsStore, SavingOverADamagedFileRepairsIt) {
    SettingsFile file;
    SettingsStore store = storeFor(file);
    file.write("[Settings\n[[[\n");
    store.savePlayback(77, 3);
    file.log.clear();
    const LoadedSettings loaded = store.load();
    EXPECT_TRUE(file.log.empty());
    EXPECT_EQ(loaded.volume, 77);
    EXPECT_EQ(loaded.dspCode, 3);
}

} // namespace
} // namespace tembrel::test
