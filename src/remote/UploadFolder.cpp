// Confinement, naming and buffered writing of uploaded files.
#include "remote/UploadFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <system_error>

namespace tembrel::remote {

namespace {

constexpr std::size_t kZeroBlockBytes = 64 * 1024;
constexpr mode_t kFileMode = 0644;

using File = std::unique_ptr<std::FILE, UploadFile::Closer>;

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

// "STEM (n)EXT" for n above 1, the name itself for 1.
std::string numberedName(const std::string& name, int number) {
    if (number == 1) {
        return name;
    }
    const auto dot = name.find_last_of('.');
    const std::size_t stemEnd = dot == std::string::npos || dot == 0 ? name.size() : dot;
    return name.substr(0, stemEnd) + " (" + std::to_string(number) + ")" + name.substr(stemEnd);
}

// A new file that did not exist and is not reached through a link: created
// exclusively, and checked to have no other name.
File createExclusive(const std::filesystem::path& path) {
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kFileMode);
    if (fd < 0) {
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1) {
        ::close(fd);
        return nullptr;
    }
    File file(::fdopen(fd, "ab"));
    if (!file) {
        ::close(fd);
    }
    return file;
}

} // namespace

std::optional<std::string> UploadFolder::fileNameOf(std::string_view clientPath) {
    const auto separator = clientPath.find_last_of("/\\");
    const std::string_view name =
        separator == std::string_view::npos ? clientPath : clientPath.substr(separator + 1);
    if (name.empty() || name == "." || name == ".." || name.size() > kMaxNameBytes ||
        name.find('\0') != std::string_view::npos || name.ends_with(kUnfinishedSuffix)) {
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

std::optional<UploadFolder::Created>
UploadFolder::createFresh(std::string_view clientPath,
                          const std::function<bool(const std::string&)>& taken) const {
    const auto name = fileNameOf(clientPath);
    if (folder_.empty() || !name) {
        return std::nullopt;
    }
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    for (int number = 1; number <= kMaxNameNumber; ++number) {
        std::string candidate = numberedName(*name, number);
        if (taken(candidate) ||
            std::filesystem::exists(std::filesystem::symlink_status(folder_ / candidate, error))) {
            continue;
        }
        if (File file = createExclusive(unfinishedPath(candidate))) {
            return Created{std::move(candidate), UploadFile(std::move(file))};
        }
        if (errno != EEXIST) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

bool UploadFolder::finish(const std::string& name) const {
    // A hard link fails when the name is taken, so nothing is replaced.
    const auto unfinished = unfinishedPath(name);
    const auto finished = folder_ / name;
    if (::link(unfinished.c_str(), finished.c_str()) != 0) {
        return false;
    }
    ::unlink(unfinished.c_str());
    return true;
}

void UploadFolder::removeUnfinished(const std::string& name) const {
    ::unlink(unfinishedPath(name).c_str());
}

void UploadFolder::removeFinished(const std::string& name) const {
    ::unlink((folder_ / name).c_str());
}

std::size_t UploadFolder::removeLeftovers() const {
    std::size_t removed = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
        const std::string name = entry.path().filename().string();
        if (name.ends_with(kUnfinishedSuffix) && entry.is_regular_file(error) &&
            std::filesystem::remove(entry.path(), error)) {
            ++removed;
        }
    }
    return removed;
}

std::optional<std::uint64_t> UploadFolder::usedBytes(std::size_t maxEntries) const {
    std::uint64_t used = 0;
    std::size_t entries = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
        if (++entries > maxEntries) {
            return std::nullopt;
        }
        if (entry.is_regular_file(error)) {
            const std::uintmax_t size = entry.file_size(error);
            used += error ? 0 : size;
        }
    }
    return used;
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
