// Album picture lookup; the case-insensitive fallback matters on Linux, where
// folders made on other systems often hold "folder.jpg" or "FOLDER.JPG".
#include "remote/PictureLocator.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <system_error>

namespace tembrel::remote {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) noexcept {
    const auto lower = [](char c) noexcept {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [&](char x, char y) noexcept { return lower(x) == lower(y); });
}

// A regular file that, links resolved, is still in the entry's own folder: a
// picture linked from elsewhere is never read for a client.
bool isReadableFile(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return false;
    }
    const auto resolved = std::filesystem::canonical(path, error);
    if (error) {
        return false;
    }
    const auto folder = std::filesystem::canonical(path.parent_path(), error);
    return !error && resolved.parent_path() == folder;
}

} // namespace

std::optional<std::string_view> folderOfEntry(std::string_view entryPath) noexcept {
    const auto separator = entryPath.find_last_of("/\\");
    if (separator == std::string_view::npos) {
        return std::nullopt;
    }
    return entryPath.substr(0, separator);
}

std::optional<std::filesystem::path> locatePicture(std::string_view entryPath) {
    const auto folderText = folderOfEntry(entryPath);
    if (!folderText) {
        return std::nullopt;
    }
    // An entry in the root folder has the empty folder text.
    const std::filesystem::path folder =
        folderText->empty() ? std::filesystem::path("/") : std::filesystem::path(*folderText);
    const auto exact = folder / kPictureFileName;
    if (isReadableFile(exact)) {
        return exact;
    }
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error);
    if (error) {
        return std::nullopt;
    }
    std::optional<std::filesystem::path> found;
    for (const auto end = std::filesystem::directory_iterator(); it != end; it.increment(error)) {
        if (error) {
            break;
        }
        const std::string name = it->path().filename().string();
        if (equalIgnoringAsciiCase(name, kPictureFileName) && isReadableFile(it->path()) &&
            (!found || it->path().filename() < found->filename())) {
            found = it->path();
        }
    }
    return found;
}

std::optional<std::vector<std::uint8_t>> readPicture(const std::filesystem::path& picture,
                                                     std::size_t maxBytes) {
    if (!isReadableFile(picture)) {
        return std::nullopt;
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(picture.c_str(), "rb"));
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) {
        return std::nullopt;
    }
    const long size = std::ftell(file.get());
    if (size < 0 || static_cast<unsigned long>(size) > maxBytes ||
        std::fseek(file.get(), 0, SEEK_SET) != 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (!bytes.empty() && std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace tembrel::remote
