// Temporary settings files for the settings store and binding tests.
#include "settings_fixture.h"

#include <QSettings>

#include <fstream>
#include <stdexcept>

namespace tembrel::test {

SettingsFile::SettingsFile() {
    if (!dir_.isValid()) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    path_ = std::filesystem::path(dir_.path().toStdString()) / "settings.ini";
}

std::filesystem::path SettingsFile::folder() const {
    return path_.parent_path();
}

void SettingsFile::write(std::string_view content) const {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path_.string());
    }
}

std::map<std::string, std::string> SettingsFile::values() const {
    QSettings settings(QString::fromStdString(path_.string()), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("Settings"));
    std::map<std::string, std::string> result;
    for (const QString& key : settings.childKeys()) {
        result[key.toStdString()] = settings.value(key).toString().toStdString();
    }
    return result;
}

bool SettingsFile::exists() const {
    return std::filesystem::exists(path_);
}

} // namespace tembrel::test
