// Shared helpers of the settings tests: a temporary INI file that tests write
// by hand and read back value by value.
#pragma once

#include <QTemporaryDir>

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tembrel::test {

class SettingsFile {
public:
    SettingsFile();

    [[nodiscard]] const std::filesystem::path& path() const noexcept { return path_; }
    [[nodiscard]] std::filesystem::path folder() const;

    // Replaces the file with exactly these bytes.
    void write(std::string_view content) const;
    // Every value of the group "Settings" as text, read with QSettings.
    [[nodiscard]] std::map<std::string, std::string> values() const;
    [[nodiscard]] bool exists() const;

    // Log lines of the store under test.
    std::vector<std::string> log;

private:
    QTemporaryDir dir_;
    std::filesystem::path path_;
};

} // namespace tembrel::test
