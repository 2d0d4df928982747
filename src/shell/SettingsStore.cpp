// The settings store on QSettings: an INI file per user (or at a given path)
// with the group "Settings", written atomically through QSaveFile.
#include "shell/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QStringList>

#include <algorithm>
#include <limits>
#include <vector>

#include "library/AudioFormats.h"

#include "protocol/ProtocolConstants.h"

namespace tembrel::shell {

namespace {

constexpr const char* kOrganisation = "Orvanik";
constexpr const char* kApplication = "Quenmark";
constexpr const char* kGroup = "Settings";

// Both markers hold this text; the playback marker is only named differently.
constexpr const char* kMarkerText = "SettingsSaved";
constexpr const char* kConnectionMarker = "SettingsSaved";
constexpr const char* kPlaybackMarker = "Settings2Saved";
constexpr const char* kPortValue = "ServerPort";
constexpr const char* kVolumeValue = "Volume";
constexpr const char* kDspValue = "DSP";
constexpr const char* kAudioOutputValue = "AudioOutput";
constexpr const char* kSpectrumDelayValue = "SpectrumDelay";
constexpr const char* kUploadQuotaValue = "UploadQuota";
constexpr const char* kWebPortValue = "WebPort";
constexpr long long kMaxPort = 65535;
constexpr const char* kListenValue = "Listen";
constexpr const char* kAllowValue = "Allow";
// Entries read from one list value at most.
constexpr qsizetype kMaxListEntries = 64;

constexpr int kDefaultDspCode = 1;
constexpr int kNoDspCode = 0;
constexpr int kFirstDspCode = 1;
constexpr int kLastDspCode = 4;
constexpr const char* kFormatsValue = "Formats";

// Not written by the program: set to false in the file to start every run
// with an empty playlist.
constexpr const char* kKeepPlaylistValue = "KeepPlaylist";

QString locationValueName(std::size_t index) {
    return QStringLiteral("Location%1").arg(index + 1);
}

// A stored text, whole, or nothing when the value is missing. A text written
// with a terminating zero reads the same as one without it.
std::optional<std::string> readText(const QSettings& settings, const QString& name) {
    const QVariant value = settings.value(name);
    if (!value.isValid()) {
        return std::nullopt;
    }
    // An INI line such as "Location1=/music/a,b" reads back as a list.
    const QString text = value.typeId() == QMetaType::QStringList
                             ? value.toStringList().join(QLatin1Char(','))
                             : value.toString();
    std::string bytes = text.toStdString();
    if (!bytes.empty() && bytes.back() == '\0') {
        bytes.pop_back();
    }
    return bytes;
}

// A comma-separated list (an INI line "Allow=10.0.0.0/8, ::1" reads back as
// a list already); blanks around entries are dropped.
std::vector<std::string> readList(const QSettings& settings, const char* name) {
    const QVariant value = settings.value(QString::fromLatin1(name));
    const QStringList parts = value.typeId() == QMetaType::QStringList
                                  ? value.toStringList()
                                  : value.toString().split(QLatin1Char(','));
    std::vector<std::string> entries;
    for (const QString& part : parts.mid(0, kMaxListEntries)) {
        if (const QString entry = part.trimmed(); !entry.isEmpty()) {
            entries.push_back(entry.toStdString());
        }
    }
    return entries;
}

bool markerAccepted(const QSettings& settings, const char* marker) {
    return readText(settings, QString::fromLatin1(marker)) == std::string(kMarkerText);
}

// A stored number, or nothing when it is missing or not a whole number.
std::optional<long long> readNumber(const QSettings& settings, const char* name) {
    bool ok = false;
    const long long number = settings.value(QString::fromLatin1(name)).toLongLong(&ok);
    return ok ? std::optional<long long>(number) : std::nullopt;
}

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void report(const SettingsStore::LogSink& log, const std::string& line) {
    if (log) {
        log(line);
    }
}

// Writes the file. A damaged file was read as far as it went and is now
// written anew with the values just saved, so only a failed write is
// reported, as a log line: saving itself tells the caller nothing.
// The length of the random suffix of a save's temporary ("settings.ini.AbC123").
constexpr qsizetype kTemporarySuffixLength = 7;

// A save killed midway leaves its lock file and its temporary beside the
// settings file. When no live process holds the lock (taking it removes a
// lock whose process is gone), both are removed; unlocking removes the lock.
void removeSaveLeftovers(const QString& iniPath) {
    QLockFile lock(iniPath + QStringLiteral(".lock"));
    if (!lock.tryLock(0)) {
        return;
    }
    const QFileInfo info(iniPath);
    QDir folder = info.dir();
    const QString base = info.fileName();
    const QStringList names =
        folder.entryList({base + QStringLiteral(".*")}, QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        if (name.size() == base.size() + kTemporarySuffixLength &&
            name != base + QStringLiteral(".lock")) {
            folder.remove(name);
        }
    }
}

void finishSave(QSettings& settings, const SettingsStore::LogSink& log) {
    settings.sync();
    if (settings.status() == QSettings::AccessError) {
        report(log, "Settings could not be saved to " + settings.fileName().toStdString());
    }
}

// Volume and spectrum code. A value that cannot be used is named in the log
// with what is used instead.
void readPlayback(const QSettings& settings, LoadedSettings& loaded,
                  const SettingsStore::LogSink& log) {
    const long long volume = readNumber(settings, kVolumeValue).value_or(protocol::kDefaultVolume);
    loaded.volume =
        static_cast<int>(std::clamp<long long>(volume, protocol::kMinVolume, protocol::kMaxVolume));
    if (loaded.volume != volume) {
        report(log, "Setting Volume " + std::to_string(volume) + " is outside " +
                        std::to_string(protocol::kMinVolume) + " to " +
                        std::to_string(protocol::kMaxVolume) + "; using " +
                        std::to_string(loaded.volume));
    }
    // The code is kept as stored: one outside 1-4 changes nothing when
    // applied. Numbers beyond int are such codes too.
    const long long code = readNumber(settings, kDspValue).value_or(kDefaultDspCode);
    loaded.dspCode =
        code >= std::numeric_limits<int>::min() && code <= std::numeric_limits<int>::max()
            ? static_cast<int>(code)
            : 0;
    if (code < kFirstDspCode || code > kLastDspCode) {
        report(log, "Setting DSP " + std::to_string(code) + " is not " +
                        std::to_string(kFirstDspCode) + " to " + std::to_string(kLastDspCode) +
                        "; the spectrum stays off");
    }
}

// The audio formats to list, as stored; entries that name no format the
// server plays are logged and left out.
std::optional<std::string> readFormats(const QSettings& settings,
                                       const SettingsStore::LogSink& log) {
    std::optional<std::string> text = readText(settings, QString::fromLatin1(kFormatsValue));
    if (!text) {
        return std::nullopt;
    }
    std::vector<std::string> refused;
    const std::optional<library::AudioFormats> formats =
        library::AudioFormats::fromList(*text, &refused);
    for (const std::string& entry : refused) {
        report(log,
               "Setting Formats: \"" + entry + "\" is not a format the server plays; left out");
    }
    if (!formats) {
        report(log, "Setting Formats names no format the server plays; using " +
                        library::AudioFormats().text());
        return std::nullopt;
    }
    return formats->text();
}

} // namespace

SettingsStore::SettingsStore(std::optional<std::filesystem::path> iniFile, LogSink log)
    : iniFile_(std::move(iniFile)), log_(std::move(log)) {}

SettingsStore::~SettingsStore() = default;

std::unique_ptr<QSettings> SettingsStore::open() const {
    auto settings = iniFile_
                        ? std::make_unique<QSettings>(QFile::decodeName(iniFile_->c_str()),
                                                      QSettings::IniFormat)
                        : std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                                      QString::fromLatin1(kOrganisation),
                                                      QString::fromLatin1(kApplication));
    // Writes go to a temporary file that replaces the old one only when
    // complete, so a crash while saving never leaves a broken file.
    settings->setAtomicSyncRequired(true);
    return settings;
}

LoadedSettings SettingsStore::load() const {
    // Until the group is found nothing was ever stored (or nothing can be
    // read): the defaults of a first run, with code 0 so that applying it
    // leaves the spectrum off and no rate checked.
    LoadedSettings loaded;
    loaded.dspCode = kNoDspCode;
    const std::unique_ptr<QSettings> settings = open();
    removeSaveLeftovers(settings->fileName());
    switch (settings->status()) {
    case QSettings::NoError:
        break;
    case QSettings::AccessError:
        report(log_, "Settings file " + settings->fileName().toStdString() +
                         " cannot be read; using the defaults");
        return loaded;
    case QSettings::FormatError:
        report(log_, "Settings file " + settings->fileName().toStdString() +
                         " is damaged; using the defaults");
        return loaded;
    }
    if (!settings->childGroups().contains(QString::fromLatin1(kGroup))) {
        return loaded;
    }
    settings->beginGroup(QString::fromLatin1(kGroup));
    loaded.dspCode = kDefaultDspCode;

    if (markerAccepted(*settings, kConnectionMarker)) {
        loaded.portText = readText(*settings, QString::fromLatin1(kPortValue))
                              .value_or(std::to_string(protocol::kDefaultPort));
    }

    if (markerAccepted(*settings, kPlaybackMarker)) {
        readPlayback(*settings, loaded, log_);
    }

    for (std::size_t index = 0; index < loaded.locations.size(); ++index) {
        loaded.locations[index] = readText(*settings, locationValueName(index)).value_or("");
    }
    // Newer than the markers, so read whenever present; a number that is no
    // port keeps the default.
    if (const auto webPort = readNumber(*settings, kWebPortValue);
        webPort && *webPort >= 0 && *webPort <= kMaxPort) {
        loaded.webPort = static_cast<int>(*webPort);
    }
    loaded.formats = readFormats(*settings, log_);
    loaded.keepPlaylist =
        settings->value(QString::fromLatin1(kKeepPlaylistValue), loaded.keepPlaylist).toBool();
    loaded.listen = readList(*settings, kListenValue);
    loaded.allow = readList(*settings, kAllowValue);
    settings->endGroup();
    return loaded;
}

StoredOutput SettingsStore::loadOutput() const {
    StoredOutput stored;
    const std::unique_ptr<QSettings> settings = open();
    if (settings->status() != QSettings::NoError) {
        return stored;
    }
    settings->beginGroup(QString::fromLatin1(kGroup));
    // A pipe's path is used whole, however long.
    stored.audio = readText(*settings, QString::fromLatin1(kAudioOutputValue));
    stored.spectrumDelay = readText(*settings, QString::fromLatin1(kSpectrumDelayValue));
    stored.uploadQuota = readText(*settings, QString::fromLatin1(kUploadQuotaValue));
    settings->endGroup();
    return stored;
}

void SettingsStore::saveConnection(std::string_view portText,
                                   const std::array<std::string, 5>& locations) {
    const std::unique_ptr<QSettings> settings = open();
    settings->beginGroup(QString::fromLatin1(kGroup));
    settings->setValue(QString::fromLatin1(kPortValue), toQString(portText));
    for (std::size_t index = 0; index < locations.size(); ++index) {
        settings->setValue(locationValueName(index), toQString(locations[index]));
    }
    settings->setValue(QString::fromLatin1(kConnectionMarker), QString::fromLatin1(kMarkerText));
    settings->endGroup();
    finishSave(*settings, log_);
}

void SettingsStore::savePlayback(int volume, int dspCode) {
    const std::unique_ptr<QSettings> settings = open();
    settings->beginGroup(QString::fromLatin1(kGroup));
    settings->setValue(QString::fromLatin1(kVolumeValue), volume);
    settings->setValue(QString::fromLatin1(kDspValue), dspCode);
    settings->setValue(QString::fromLatin1(kPlaybackMarker), QString::fromLatin1(kMarkerText));
    settings->endGroup();
    finishSave(*settings, log_);
}

} // namespace tembrel::shell
