// Reads the entries of one folder in the order the file system returns them,
// telling folders from files by the directory entry's type and calling stat
// only when that type is unknown or the entry is a symbolic link.
#pragma once

#include <dirent.h>

#include <memory>
#include <string>
#include <string_view>

namespace tembrel::library {

enum class EntryKind { Folder, File, Other };

class FolderListing {
public:
    // Opens the folder; a folder that cannot be opened gives an empty listing.
    explicit FolderListing(const std::string& path);

    [[nodiscard]] bool isOpen() const noexcept { return dir_ != nullptr; }

    // Moves to the next entry ("." and ".." included). False at the end of the
    // listing, and also when reading fails: a failed read ends the listing.
    [[nodiscard]] bool next() noexcept;

    // The current entry, valid until the next call of next().
    [[nodiscard]] std::string_view name() const noexcept { return entry_->d_name; }

    // Symbolic links count as what they point to; a broken link, a device, a
    // pipe or a socket is Other.
    [[nodiscard]] EntryKind kind() const noexcept;

private:
    struct DirCloser {
        void operator()(DIR* dir) const noexcept { closedir(dir); }
    };

    std::unique_ptr<DIR, DirCloser> dir_;
    const dirent* entry_ = nullptr;
};

// True for the "." and ".." entries of a listing.
[[nodiscard]] bool isDotEntry(std::string_view name) noexcept;

} // namespace tembrel::library
