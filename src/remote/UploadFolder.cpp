// Confinement and buffered writing of uploaded files.
#include "remote/UploadFolder.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <system_error>

namespace tembrel::remote {

namespace {

constexpr std::size_t kZeroBlockBytes = 64 * 1024;

using File = std::unique_ptr<std::FILE, UploadFile::Closer>;

File openFile(const std::filesystem::path& path, const char* mode) {
    return File(std::fopen(path.c_str(), mode));
}

bool writeZeros(std::FILE* file, std::size_t count) {
    static constexpr std::array<std::uint8_t, kZeroBlockBytes> kZeros{};
    while (count > 0) {
        const std::size_t piece = std::min(count, kZeros.size());
        if (std::fwrite(kZeros.data(), 1, piece, file) != piece) {
            return false;
        }
        count -= piece;
    }
    return true;
}

} // namespace

std::optional<std::string> UploadFolder::fileNameOf(std::string_view clientPath) {
    const auto separator = clientPath.find_last_of("/\\");
    const std::string_view name =
        separator == std::string_view::npos ? clientPath : clientPath.substr(separator + 1);
    if (name.empty() || name == "." || name == ".." || name.size() > kMaxNameBytes ||
        name.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    return std::string(name);
}

std::optional<std::filesystem::path> UploadFolder::resolve(std::string_view clientPath) const {
    if (folder_.empty()) {
        return std::nullopt;
    }
    auto name = fileNameOf(clientPath);
    if (!name) {
        return std::nullopt;
    }
    return folder_ / *name;
}

std::optional<std::filesystem::path>
UploadFolder::writableTarget(std::string_view clientPath) const {
    auto target = resolve(clientPath);
    if (!target) {
        return std::nullopt;
    }
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    // A link placed in the folder could lead outside it; only plain files
    // (or names not yet taken) are written.
    const auto status = std::filesystem::symlink_status(*target, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        return std::nullopt;
    }
    return target;
}

bool UploadFolder::create(std::string_view clientPath) const {
    const auto target = writableTarget(clientPath);
    return target && openFile(*target, "wb") != nullptr;
}

std::optional<UploadFile> UploadFolder::openForAppend(std::string_view clientPath) const {
    const auto target = writableTarget(clientPath);
    if (!target) {
        return std::nullopt;
    }
    // Append mode: every write lands at the file's current end, also when
    // another user's "StartFile" emptied it in between.
    File file = openFile(*target, "ab");
    if (!file) {
        return std::nullopt;
    }
    return UploadFile(std::move(file));
}

bool UploadFolder::append(std::string_view clientPath, std::span<const std::uint8_t> chunk,
                          std::size_t zeroFill) const {
    auto file = openForAppend(clientPath);
    return file && file->append(chunk, zeroFill);
}

bool UploadFile::append(std::span<const std::uint8_t> chunk, std::size_t zeroFill) {
    std::FILE* file = file_.get();
    const bool written =
        (chunk.empty() || std::fwrite(chunk.data(), 1, chunk.size(), file) == chunk.size()) &&
        writeZeros(file, zeroFill);
    // Flushed per chunk: the file on disk always holds every chunk answered.
    return std::fflush(file) == 0 && written;
}

} // namespace tembrel::remote
