// Uploads in progress: one open upload per user, whose file stays open
// between the user's chunks. "StartFile" creates (or empties) the file,
// "SendFile" appends a chunk, "EndFile" closes it; a user that leaves, or a
// server that stops, closes its file too. Every file lies in the one upload
// folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

#include "library/AudioFormats.h"
#include "remote/UploadFolder.h"

namespace tembrel::remote {

class UploadSessions {
public:
    // `maxChunkBytes`: the longest chunk length honoured, the size of the
    // largest message a client can send.
    UploadSessions(std::filesystem::path folder, std::size_t maxChunkBytes)
        : folder_(std::move(folder)), maxChunkBytes_(maxChunkBytes) {}

    // Creates or empties the file `serverPath` names and keeps it open as the
    // user's upload. A refused name or a file that cannot be created leaves
    // the user without an open upload.
    void start(std::int32_t userId, std::string_view serverPath);

    // Appends a chunk to the file `serverPath` names: exactly
    // `declaredLength` bytes, the chunk cut to it or padded with zeros. A
    // negative length, or one no message could carry, writes nothing. The
    // user's open upload is used when it is that file; otherwise the file is
    // opened (and kept) in its place.
    void storeChunk(std::int32_t userId, std::string_view serverPath,
                    std::span<const std::uint8_t> chunk, std::int32_t declaredLength);

    // Closes the user's upload; the path of the stored file `serverPath`
    // names, or nothing when the name is refused or is none of the audio
    // formats a track may have.
    [[nodiscard]] std::optional<std::string> finish(std::int32_t userId,
                                                    std::string_view serverPath);

    // The user has gone: its open file is closed (the file stays).
    void forget(std::int32_t userId) { open_.erase(userId); }
    void closeAll() { open_.clear(); }

    void setFormats(library::AudioFormats formats) { formats_ = std::move(formats); }

    [[nodiscard]] std::size_t openCount() const noexcept { return open_.size(); }

private:
    struct OpenUpload {
        std::string fileName;
        UploadFile file;
    };

    // The user's open upload of `serverPath`, opened when it is not open yet.
    [[nodiscard]] UploadFile* fileFor(std::int32_t userId, std::string_view serverPath);

    UploadFolder folder_;
    library::AudioFormats formats_;
    std::size_t maxChunkBytes_;
    std::unordered_map<std::int32_t, OpenUpload> open_;
};

} // namespace tembrel::remote
