// Uploads in progress, one owned file per user.
#include "remote/UploadSessions.h"

#include <algorithm>

namespace tembrel::remote {

UploadSessions::UploadSessions(std::filesystem::path folder, std::size_t maxChunkBytes,
                               std::uint64_t quotaBytes, Clock::duration idleLimit)
    : folder_(std::move(folder)), maxChunkBytes_(maxChunkBytes), quotaBytes_(quotaBytes),
      idleLimit_(idleLimit), lastRecount_(Clock::now()) {
    if (!folder_.folder().empty()) {
        folder_.removeLeftovers();
        usedBytes_ = folder_.usedBytes().value_or(0);
    }
    idleSweep_.setSingleShot(true);
    idleSweep_.setInterval(
        std::chrono::duration_cast<std::chrono::milliseconds>(idleLimit_ / kIdleSweepsPerLimit));
    idleSweep_.callOnTimeout([this] {
        dropIdle(Clock::now());
        armIdleSweep();
    });
}

void UploadSessions::armIdleSweep() {
    // An idle server with no uploads is never woken.
    if (open_.empty()) {
        idleSweep_.stop();
    } else if (!idleSweep_.isActive()) {
        idleSweep_.start();
    }
}

void UploadSessions::recount(Clock::time_point now) {
    // Files may have been removed or added by hand since the last count.
    if (folder_.folder().empty() || now - lastRecount_ < kRecountInterval) {
        return;
    }
    lastRecount_ = now;
    if (const auto used = folder_.usedBytes(kMaxRecountEntries)) {
        usedBytes_ = *used;
    }
}

void UploadSessions::start(std::int32_t userId, std::string_view serverPath,
                           Clock::time_point now) {
    drop(userId);
    recount(now);
    const auto taken = [this](const std::string& name) {
        return std::any_of(open_.begin(), open_.end(),
                           [&](const auto& upload) { return upload.second.storedName == name; });
    };
    auto created = folder_.createFresh(serverPath, taken);
    if (!created) {
        return;
    }
    OpenUpload upload{*UploadFolder::fileNameOf(serverPath), std::move(created->name),
                      std::move(created->file), 0, now};
    open_.insert_or_assign(userId, std::move(upload));
    armIdleSweep();
}

UploadSessions::Stored UploadSessions::check(const OpenUpload& upload, std::size_t chunkBytes,
                                             std::int32_t declaredLength, Clock::time_point now) {
    if (upload.failure != Stored::Written) {
        return upload.failure;
    }
    if (declaredLength < 0) {
        return Stored::BadLength;
    }
    const auto wanted = static_cast<std::size_t>(declaredLength);
    if (wanted - std::min(chunkBytes, wanted) > kMaxZeroFillBytes) {
        return Stored::ZeroFillTooLong;
    }
    if (wanted > maxChunkBytes_) {
        return Stored::BadLength;
    }
    if (usedBytes_ + wanted > quotaBytes_) {
        recount(now);
    }
    return usedBytes_ + wanted > quotaBytes_ ? Stored::OverQuota : Stored::Written;
}

UploadSessions::Stored UploadSessions::storeChunk(std::int32_t userId, std::string_view serverPath,
                                                  std::span<const std::uint8_t> chunk,
                                                  std::int32_t declaredLength,
                                                  Clock::time_point now) {
    const auto found = open_.find(userId);
    const auto name = UploadFolder::fileNameOf(serverPath);
    if (found == open_.end() || !name || found->second.requestedName != *name) {
        return Stored::Lost;
    }
    OpenUpload& upload = found->second;
    if (const Stored refused = check(upload, chunk.size(), declaredLength, now);
        refused != Stored::Written) {
        return fail(upload, refused);
    }
    const auto wanted = static_cast<std::size_t>(declaredLength);
    chunk = chunk.first(std::min(chunk.size(), wanted));
    upload.lastChunk = now;
    upload.bytes += wanted;
    usedBytes_ += wanted;
    if (!upload.file.append(chunk, wanted - chunk.size())) {
        return fail(upload, Stored::WriteFailed);
    }
    return Stored::Written;
}

UploadSessions::Stored UploadSessions::fail(OpenUpload& upload, Stored reason) {
    // The file now misses data: it goes at once, and the upload stays
    // failed until it is finished, restarted or forgotten.
    removeFile(upload);
    upload.failure = reason;
    return reason;
}

std::optional<UploadSessions::Finished> UploadSessions::finish(std::int32_t userId,
                                                               std::string_view serverPath) {
    const auto name = UploadFolder::fileNameOf(serverPath);
    const auto found = open_.find(userId);
    if (found == open_.end() || !name || found->second.requestedName != *name) {
        if (auto stored = finishedFile(serverPath)) {
            return Finished{std::move(*stored), false, 0};
        }
        return std::nullopt;
    }
    const std::string storedName = found->second.storedName;
    const std::uint64_t bytes = found->second.bytes;
    const bool failed = found->second.failure != Stored::Written;
    open_.erase(found); // closes the file
    armIdleSweep();
    if (failed) {
        return std::nullopt;
    }
    if (!formats_.matches(storedName) || !folder_.finish(storedName)) {
        folder_.removeUnfinished(storedName);
        usedBytes_ -= std::min(bytes, usedBytes_);
        return std::nullopt;
    }
    return Finished{(folder_.folder() / storedName).string(), true, bytes};
}

std::optional<std::string> UploadSessions::finishedFile(std::string_view serverPath) const {
    if (const auto stored = folder_.resolve(serverPath);
        stored && formats_.matches(stored->filename().string())) {
        return stored->string();
    }
    return std::nullopt;
}

std::optional<std::string> UploadSessions::fileToFinish(std::int32_t userId,
                                                        std::string_view serverPath) const {
    const auto name = UploadFolder::fileNameOf(serverPath);
    const auto found = open_.find(userId);
    if (found == open_.end() || !name || found->second.requestedName != *name) {
        return finishedFile(serverPath);
    }
    if (found->second.failure != Stored::Written) {
        return std::nullopt;
    }
    return folder_.unfinishedPath(found->second.storedName).string();
}

std::optional<UploadSessions::Stored> UploadSessions::takeFailure(std::int32_t userId,
                                                                  std::string_view serverPath) {
    const auto found = open_.find(userId);
    const auto name = UploadFolder::fileNameOf(serverPath);
    if (found == open_.end() || !name || found->second.requestedName != *name ||
        found->second.failure == Stored::Written) {
        return std::nullopt;
    }
    const Stored failure = found->second.failure;
    open_.erase(found);
    armIdleSweep();
    return failure;
}

void UploadSessions::discard(const std::string& storedPath) {
    const std::filesystem::path path(storedPath);
    if (path.parent_path() != folder_.folder()) {
        return;
    }
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    usedBytes_ -= error ? 0 : std::min<std::uint64_t>(size, usedBytes_);
    folder_.removeFinished(path.filename().string());
}

std::size_t UploadSessions::dropIdle(Clock::time_point now) {
    std::size_t dropped = 0;
    for (auto upload = open_.begin(); upload != open_.end();) {
        const auto next = std::next(upload);
        if (now - upload->second.lastChunk >= idleLimit_) {
            drop(upload->first);
            ++dropped;
        }
        upload = next;
    }
    return dropped;
}

void UploadSessions::closeAll() {
    while (!open_.empty()) {
        drop(open_.begin()->first);
    }
}

void UploadSessions::removeFile(OpenUpload& upload) {
    upload.file.close();
    if (!upload.storedName.empty()) {
        folder_.removeUnfinished(upload.storedName);
        // The name is free again for another upload.
        upload.storedName.clear();
    }
    usedBytes_ -= std::min(upload.bytes, usedBytes_);
    upload.bytes = 0;
}

void UploadSessions::drop(std::int32_t userId) {
    const auto found = open_.find(userId);
    if (found == open_.end()) {
        return;
    }
    removeFile(found->second);
    open_.erase(found);
    armIdleSweep();
}

} // namespace tembrel::remote
