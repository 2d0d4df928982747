// Uploads in progress, one open file per user.
#include "remote/UploadSessions.h"

#include <algorithm>

namespace tembrel::remote {

void UploadSessions::start(std::int32_t userId, std::string_view serverPath) {
    open_.erase(userId);
    const auto name = UploadFolder::fileNameOf(serverPath);
    if (!name || !folder_.create(serverPath)) {
        return;
    }
    if (auto file = folder_.openForAppend(serverPath)) {
        open_.insert_or_assign(userId, OpenUpload{*name, std::move(*file)});
    }
}

UploadFile* UploadSessions::fileFor(std::int32_t userId, std::string_view serverPath) {
    const auto name = UploadFolder::fileNameOf(serverPath);
    if (!name) {
        return nullptr;
    }
    if (const auto found = open_.find(userId);
        found != open_.end() && found->second.fileName == *name) {
        return &found->second.file;
    }
    open_.erase(userId);
    auto file = folder_.openForAppend(serverPath);
    if (!file) {
        return nullptr;
    }
    return &open_.insert_or_assign(userId, OpenUpload{*name, std::move(*file)}).first->second.file;
}

void UploadSessions::storeChunk(std::int32_t userId, std::string_view serverPath,
                                std::span<const std::uint8_t> chunk, std::int32_t declaredLength) {
    if (declaredLength < 0 || static_cast<std::size_t>(declaredLength) > maxChunkBytes_) {
        return;
    }
    const auto wanted = static_cast<std::size_t>(declaredLength);
    chunk = chunk.first(std::min(chunk.size(), wanted));
    if (UploadFile* file = fileFor(userId, serverPath)) {
        // A chunk that cannot be written is lost; the client learns of it at
        // "EndFile", when the stored file cannot be played.
        (void)file->append(chunk, wanted - chunk.size());
    }
}

std::optional<std::string> UploadSessions::finish(std::int32_t userId,
                                                  std::string_view serverPath) {
    open_.erase(userId);
    if (const auto stored = folder_.resolve(serverPath);
        stored && formats_.matches(stored->filename().string())) {
        return stored->string();
    }
    return std::nullopt;
}

} // namespace tembrel::remote
