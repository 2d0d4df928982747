// Uploads in progress: one open upload per user, which owns its file.
// StartFile creates a fresh unfinished file (numbered when the name is
// taken), SendFile appends a chunk, EndFile renames it to its finished
// name. An upload that is dropped (the user leaves, starts another, or stays
// silent too long) removes its file; so do the unfinished files a previous
// run left. An upload that fails (a chunk refused, past the folder's quota or
// not written) removes its file at once but stays known as failed until the
// user finishes it, starts another or goes, so no later chunk or EndFile is
// taken for a success. Every file lies in the one upload folder.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

#include <QTimer>

#include "library/AudioFormats.h"
#include "remote/UploadFolder.h"

namespace tembrel::remote {

class UploadSessions {
public:
    using Clock = std::chrono::steady_clock;

    // What the upload folder may hold unless told otherwise.
    static constexpr std::uint64_t kDefaultQuotaBytes = 2ULL << 30;
    // The longest run of zeros one chunk may ask for beyond the bytes it
    // carries: a few bytes on the wire must not become a large write.
    static constexpr std::size_t kMaxZeroFillBytes = 64 * 1024;
    // An upload with no chunk for this long is dropped.
    static constexpr auto kIdleLimit = std::chrono::minutes(10);
    // Idle uploads are looked for this many times per idle limit, only
    // while uploads are open.
    static constexpr int kIdleSweepsPerLimit = 10;
    // What the folder holds is listed again at most this often (files may be
    // added or removed by hand), and only when it has at most this many
    // entries: each costs a file-system lookup on the event loop.
    static constexpr auto kRecountInterval = std::chrono::seconds(1);
    static constexpr std::size_t kMaxRecountEntries = 256;

    // What became of a chunk. Lost: the user has no open upload of that
    // path, nothing is written. The failures make the upload failed.
    enum class Stored { Written, Lost, BadLength, ZeroFillTooLong, OverQuota, WriteFailed };

    // `maxChunkBytes`: the longest chunk length honoured, the size of the
    // largest message a client can send. Removes what a previous run left
    // unfinished.
    UploadSessions(std::filesystem::path folder, std::size_t maxChunkBytes,
                   std::uint64_t quotaBytes = kDefaultQuotaBytes,
                   Clock::duration idleLimit = kIdleLimit);

    // Starts the user's upload of `serverPath` in a fresh file; an upload the
    // user had open is dropped. A refused name or a file that cannot be
    // created leaves the user without an open upload. Counts what the folder
    // holds again when the last count is old enough.
    void start(std::int32_t userId, std::string_view serverPath, Clock::time_point now);

    // Appends a chunk to the user's open upload of `serverPath`: exactly
    // `declaredLength` bytes, the chunk cut to it or padded with zeros. A
    // path that is not the user's open upload writes nothing (Lost). A
    // negative length or one no message could carry, a fill past the bound, a
    // chunk that would pass the quota or one that cannot be written fails the
    // upload; a chunk of a failed upload gives the reason it failed.
    Stored storeChunk(std::int32_t userId, std::string_view serverPath,
                      std::span<const std::uint8_t> chunk, std::int32_t declaredLength,
                      Clock::time_point now);

    struct Finished {
        std::string path;
        bool justFinished = false; // false: a file finished earlier
        std::uint64_t bytes = 0;   // what the just finished upload stored
    };
    // Finishes the user's upload of `serverPath`; the stored file, or
    // nothing when the name is refused, is none of the audio formats a track
    // may have, the upload failed, or the file cannot be finished. A path
    // that is not the user's open upload names a finished file.
    [[nodiscard]] std::optional<Finished> finish(std::int32_t userId, std::string_view serverPath);
    // When the user's open upload of `serverPath` has failed: forgets it and
    // gives the reason it failed, which is what its EndFile answers.
    // The file finish() would hand on for `serverPath`, as it is now: the
    // open upload's unfinished file, or a finished one; nothing when there is
    // none. Nothing changes.
    [[nodiscard]] std::optional<std::string> fileToFinish(std::int32_t userId,
                                                          std::string_view serverPath) const;
    [[nodiscard]] std::optional<Stored> takeFailure(std::int32_t userId,
                                                    std::string_view serverPath);
    // A finished upload that cannot be played: removed.
    void discard(const std::string& storedPath);

    // Drops the uploads with no chunk for the idle limit; how many.
    std::size_t dropIdle(Clock::time_point now);
    // The user has gone: its unfinished upload is removed.
    void forget(std::int32_t userId) { drop(userId); }
    void closeAll();

    void setFormats(library::AudioFormats formats) { formats_ = std::move(formats); }

    [[nodiscard]] std::size_t openCount() const noexcept { return open_.size(); }
    [[nodiscard]] std::uint64_t usedBytes() const noexcept { return usedBytes_; }

private:
    struct OpenUpload {
        std::string requestedName; // the name the client gave
        std::string storedName;    // the name the file will have, maybe numbered
        UploadFile file;
        std::uint64_t bytes = 0;
        Clock::time_point lastChunk;
        Stored failure = Stored::Written; // Written while it has not failed
    };

    [[nodiscard]] Stored check(const OpenUpload& upload, std::size_t chunkBytes,
                               std::int32_t declaredLength, Clock::time_point now);
    Stored fail(OpenUpload& upload, Stored reason);
    void removeFile(OpenUpload& upload);
    void recount(Clock::time_point now);
    void drop(std::int32_t userId);
    // A finished upload `serverPath` names that has one of the listed formats.
    [[nodiscard]] std::optional<std::string> finishedFile(std::string_view serverPath) const;
    void armIdleSweep();

    UploadFolder folder_;
    library::AudioFormats formats_;
    std::size_t maxChunkBytes_;
    std::uint64_t quotaBytes_;
    std::uint64_t usedBytes_ = 0;
    Clock::duration idleLimit_;
    Clock::time_point lastRecount_;
    std::unordered_map<std::int32_t, OpenUpload> open_;
    QTimer idleSweep_;
};

} // namespace tembrel::remote
