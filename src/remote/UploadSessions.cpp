// Uploads in progress, one owned file per user.
#include "remote/UploadSessions.h"

#include <algorithm>

namespace tembrel::remote {

UploadSessions::UploadSessions(std::filesystem::path folder, std::size_t maxChunkBytes,
                               std::uint64_t quotaBytes)
    : folder_(std::move(folder)), maxChunkBytes_(maxChunkBytes), quotaBytes_(quotaBytes) {
    if (!folder_.folder().empty()) {
        folder_.removeLeftovers();
        usedBytes_ = folder_.usedBytes();
    }
    idleSweep_.setSingleShot(true);
    idleSweep_.setInterval(kIdleSweepInterval);
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

void UploadSessions::start(std::int32_t userId, std::string_view serverPath,
                           Clock::time_point now) {
    drop(userId);
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

UploadSessions::Stored UploadSessions::storeChunk(std::int32_t userId, std::string_view serverPath,
                                                  std::span<const std::uint8_t> chunk,
                                                  std::int32_t declaredLength,
                                                  Clock::time_point now) {
    const auto found = open_.find(userId);
    const auto name = UploadFolder::fileNameOf(serverPath);
    if (declaredLength < 0 || static_cast<std::size_t>(declaredLength) > maxChunkBytes_ ||
        found == open_.end() || !name || found->second.requestedName != *name) {
        return Stored::Lost;
    }
    const auto wanted = static_cast<std::size_t>(declaredLength);
    chunk = chunk.first(std::min(chunk.size(), wanted));
    const std::size_t zeroFill = wanted - chunk.size();
    if (zeroFill > kMaxZeroFillBytes) {
        return Stored::Lost;
    }
    if (usedBytes_ + wanted > quotaBytes_) {
        drop(userId);
        return Stored::OverQuota;
    }
    OpenUpload& upload = found->second;
    upload.lastChunk = now;
    upload.bytes += wanted;
    usedBytes_ += wanted;
    // A chunk that cannot be written is lost; the client learns of it at
    // EndFile, when the stored file cannot be played.
    return upload.file.append(chunk, zeroFill) ? Stored::Written : Stored::Lost;
}

std::optional<UploadSessions::Finished> UploadSessions::finish(std::int32_t userId,
                                                               std::string_view serverPath) {
    const auto name = UploadFolder::fileNameOf(serverPath);
    const auto found = open_.find(userId);
    if (found == open_.end() || !name || found->second.requestedName != *name) {
        if (const auto stored = folder_.resolve(serverPath);
            stored && formats_.matches(stored->filename().string())) {
            return Finished{stored->string(), false};
        }
        return std::nullopt;
    }
    const std::string storedName = found->second.storedName;
    open_.erase(found); // closes the file
    armIdleSweep();
    if (!formats_.matches(storedName) || !folder_.finish(storedName)) {
        folder_.removeUnfinished(storedName);
        return std::nullopt;
    }
    return Finished{(folder_.folder() / storedName).string(), true};
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
        if (now - upload->second.lastChunk >= kIdleLimit) {
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

void UploadSessions::drop(std::int32_t userId) {
    const auto found = open_.find(userId);
    if (found == open_.end()) {
        return;
    }
    const std::string storedName = found->second.storedName;
    usedBytes_ -= std::min(found->second.bytes, usedBytes_);
    open_.erase(found);
    folder_.removeUnfinished(storedName);
    armIdleSweep();
}

} // namespace tembrel::remote
