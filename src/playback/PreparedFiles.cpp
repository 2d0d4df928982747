// Files read ahead on a worker thread, kept for the main thread's open.
#include "playback/PreparedFiles.h"

#include <sys/stat.h>

#include <algorithm>

namespace tembrel::playback {

std::optional<FileIdentity> FileIdentity::of(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                        static_cast<std::uint64_t>(info.st_ino),
                        static_cast<std::uint64_t>(info.st_size), std::int64_t{info.st_mtim.tv_sec},
                        std::int64_t{info.st_mtim.tv_nsec}};
}

void PreparedFiles::put(std::unique_ptr<PreparedFile> file) {
    const std::lock_guard lock(mutex_);
    std::erase_if(files_, [&](const auto& kept) { return kept->identity == file->identity; });
    if (files_.size() >= kCapacity) {
        files_.pop_front();
    }
    files_.push_back(std::move(file));
}

std::unique_ptr<PreparedFile> PreparedFiles::information(const FileIdentity& identity) const {
    const std::lock_guard lock(mutex_);
    const auto found = std::find_if(files_.begin(), files_.end(),
                                    [&](const auto& file) { return file->identity == identity; });
    if (found == files_.end()) {
        return nullptr;
    }
    auto copy = std::make_unique<PreparedFile>();
    copy->identity = identity;
    copy->informationError = (*found)->informationError;
    copy->tags = (*found)->tags;
    copy->lengthMs = (*found)->lengthMs;
    return copy;
}

std::unique_ptr<PreparedFile> PreparedFiles::takePlayback(const FileIdentity& identity) {
    const std::lock_guard lock(mutex_);
    const auto found = std::find_if(files_.begin(), files_.end(), [&](const auto& file) {
        return file->identity == identity && file->forPlayback;
    });
    if (found == files_.end()) {
        return nullptr;
    }
    std::unique_ptr<PreparedFile> taken = std::move(*found);
    files_.erase(found);
    return taken;
}

void PreparedFiles::clear() {
    const std::lock_guard lock(mutex_);
    files_.clear();
}

std::unique_ptr<PreparedFile> readAhead(const std::string& path, bool forPlayback, int mixRate) {
    const std::optional<FileIdentity> identity = FileIdentity::of(path);
    if (!identity) {
        return nullptr;
    }
    auto prepared = std::make_unique<PreparedFile>();
    PreparedFile& file = *prepared;
    file.identity = *identity;
    file.tags = readFileTags(path, true);
    if (file.tags && file.tags->hasAudio) {
        file.lengthMs = file.tags->lengthMs;
    } else {
        // TagLib does not know the type, or found no audio: let FFmpeg decide
        // from the container header.
        int error = kErrNone;
        const int length = FfmpegDecoder::probeLengthMs(path, error);
        if (length < 0) {
            file.informationError = error;
        } else {
            file.lengthMs = length;
        }
    }
    file.forPlayback = forPlayback;
    if (!forPlayback) {
        return prepared;
    }
    if (file.informationError != kErrNone) {
        file.playbackError = file.informationError;
        return prepared;
    }
    int error = kErrNone;
    file.decoder = FfmpegDecoder::open(path, mixRate, error);
    file.playbackError = file.decoder ? kErrNone : error;
    return prepared;
}

} // namespace tembrel::playback
