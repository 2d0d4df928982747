// Reads the entries of one folder in the order the file system returns them,
// telling folders from files by the directory entry's type and calling stat
// only when that type is unknown or the entry is a symbolic link.
#pragma once

#include <dirent.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "library/NameOrder.h"

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

// A folder's sub-folders and its files with a name `isTrack` accepts, each in
// name order (NameOrder). Empty when the folder cannot be listed.
struct FolderEntries {
    std::vector<std::string> folders;
    std::vector<std::string> tracks;
};
template <class IsTrack>
[[nodiscard]] FolderEntries readFolder(const std::string& path, IsTrack isTrack, bool withTracks);

// Why a Location gives nothing before it is listed: "missing", "not a
// folder", "unreadable"; empty when it can be listed.
[[nodiscard]] std::string locationProblem(const std::string& path);

template <class IsTrack>
FolderEntries readFolder(const std::string& path, IsTrack isTrack, bool withTracks) {
    FolderEntries entries;
    FolderListing listing(path);
    while (listing.next()) {
        const std::string_view name = listing.name();
        if (isDotEntry(name)) {
            continue;
        }
        // The name test comes first so that only audio names can cost a stat.
        if (withTracks && isTrack(name)) {
            if (listing.kind() == EntryKind::File) {
                entries.tracks.emplace_back(name);
            }
        } else if (listing.kind() == EntryKind::Folder) {
            entries.folders.emplace_back(name);
        }
    }
    sortNames(entries.folders);
    sortNames(entries.tracks);
    return entries;
}

} // namespace tembrel::library
