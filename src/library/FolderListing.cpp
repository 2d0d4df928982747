// Folder listing on opendir/readdir with the entry type taken from the
// directory entry, so a scan of a large tree does not stat every file.
#include "library/FolderListing.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace tembrel::library {

FolderListing::FolderListing(const std::string& path) : dir_(opendir(path.c_str())) {}

bool FolderListing::next() noexcept {
    if (!dir_) {
        return false;
    }
    entry_ = readdir(dir_.get());
    if (entry_ == nullptr) {
        // End of the listing or a read error: either way nothing more is read.
        dir_.reset();
        return false;
    }
    return true;
}

EntryKind FolderListing::kind() const noexcept {
    switch (entry_->d_type) {
    case DT_DIR:
        return EntryKind::Folder;
    case DT_REG:
        return EntryKind::File;
    case DT_LNK:
    case DT_UNKNOWN:
        break;
    default:
        return EntryKind::Other;
    }
    // fstatat follows the link, so a link to a folder or a file is taken as
    // that folder or file, the way a user browsing the tree sees it.
    struct stat info {};
    if (fstatat(dirfd(dir_.get()), entry_->d_name, &info, 0) != 0) {
        return EntryKind::Other;
    }
    if (S_ISDIR(info.st_mode)) {
        return EntryKind::Folder;
    }
    return S_ISREG(info.st_mode) ? EntryKind::File : EntryKind::Other;
}

bool isDotEntry(std::string_view name) noexcept {
    return name == "." || name == "..";
}

std::string locationProblem(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? "missing" : "unreadable";
    }
    if (!S_ISDIR(info.st_mode)) {
        return "not a folder";
    }
    return FolderListing(path).isOpen() ? std::string() : "unreadable";
}

} // namespace tembrel::library
