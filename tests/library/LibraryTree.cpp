// Temporary media folder trees and log recording for the library scan tests.
#include "LibraryTree.h"

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <system_error>

namespace tembrel::test {

namespace fs = std::filesystem;

namespace {

// Memory-backed /dev/shm where there is one: the limit tests make thousands
// of folders, which is slow on a busy disk, and the scan behaves the same.
fs::path scratchFolder(LibraryTree::Storage storage) {
    if (storage == LibraryTree::Storage::Disk) {
        return fs::temp_directory_path();
    }
    std::error_code error;
    const fs::path shm("/dev/shm");
    if (fs::is_directory(shm, error) && access(shm.c_str(), W_OK | X_OK) == 0) {
        return shm;
    }
    return fs::temp_directory_path();
}

// The name of the first entry the file system lists for `folder`.
std::string firstListedEntry(const std::string& folder) {
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) {
        return {};
    }
    const dirent* entry = readdir(dir.get());
    return entry != nullptr ? std::string(entry->d_name) : std::string();
}

} // namespace

LibraryTree::LibraryTree(Storage storage) {
    std::string pattern = (scratchFolder(storage) / "tembrel-library-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    root_ = pattern;
}

LibraryTree::~LibraryTree() {
    std::error_code error;
    // Folders a test made unreadable are opened up again so they can go.
    for (auto it = fs::recursive_directory_iterator(
             root_, fs::directory_options::skip_permission_denied, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
        }
    }
    fs::remove_all(root_, error);
}

std::string LibraryTree::path(std::string_view relative) const {
    return relative.empty() ? root_.string() : (root_ / relative).string();
}

void LibraryTree::folder(std::string_view relative) const {
    fs::create_directories(root_ / relative);
}

void LibraryTree::file(std::string_view relative) const {
    const fs::path target = root_ / relative;
    fs::create_directories(target.parent_path());
    std::ofstream out(target);
    if (!out) {
        throw std::runtime_error("cannot create " + target.string());
    }
}

void LibraryTree::audioFiles(std::string_view relative, std::string_view prefix, int count) const {
    const fs::path folderPath = root_ / relative;
    fs::create_directories(folderPath);
    for (int i = 0; i < count; ++i) {
        std::ofstream out(folderPath / (std::string(prefix) + std::to_string(i) + ".mp3"));
        if (!out) {
            throw std::runtime_error("cannot create files in " + folderPath.string());
        }
    }
}

void LibraryTree::symlink(std::string_view target, std::string_view relativeLink) const {
    fs::create_symlink(target, root_ / relativeLink);
}

std::string LibraryTree::singleEntryFolder(std::string_view relative, bool asFolder,
                                           std::string_view suffix, bool listedFirst) const {
    constexpr int kNamesToTry = 64;
    folder(relative);
    const fs::path folderPath = root_ / relative;
    for (int i = 0; i < kNamesToTry; ++i) {
        const std::string name = "e" + std::to_string(i) + std::string(suffix);
        const fs::path entry = folderPath / name;
        if (asFolder) {
            fs::create_directory(entry);
        } else {
            std::ofstream(entry).close();
        }
        if ((firstListedEntry(folderPath.string()) == name) == listedFirst) {
            return name;
        }
        fs::remove(entry);
    }
    return {};
}

RecordingLibrary::RecordingLibrary() {
    library.setLogSink([this](std::string_view line) { logLines.emplace_back(line); });
}

std::vector<std::string> trackNames(const library::CMediaLibrary& library, int first, int count) {
    std::vector<std::string> names;
    for (int slot = first; slot < first + count; ++slot) {
        names.push_back(library.track(slot).fileName);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> albumNames(const library::CMediaLibrary& library, int first, int count) {
    std::vector<std::string> names;
    for (int slot = first; slot < first + count; ++slot) {
        names.push_back(library.album(slot).name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace tembrel::test
