// Files read ahead on a worker thread: what opening them will need (tags,
// length, and for playback an opened decoder), kept until the main thread
// opens the same unchanged file, so that opening it there takes no time
// however long reading it took.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "playback/FfmpegDecoder.h"
#include "playback/TagFields.h"

namespace tembrel::playback {

// A file as it is on disk: the same file under another name (renamed) is the
// same identity; a file rewritten since is not.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNs = 0; // within the second

    // nullopt when the path names nothing that can be examined.
    [[nodiscard]] static std::optional<FileIdentity> of(const std::string& path);
    bool operator==(const FileIdentity&) const = default;
};

// What reading a file ahead found.
struct PreparedFile {
    FileIdentity identity;
    // The error code an information-only open fails with; kErrNone when it
    // succeeds with `tags` and `lengthMs`.
    int informationError = 0;
    std::optional<FileTags> tags;
    int lengthMs = 0;
    // For playback: the opened decoder, or the error code its open failed
    // with; both empty when only the information was read.
    std::unique_ptr<FfmpegDecoder> decoder;
    int playbackError = 0;
    bool forPlayback = false;
};

// Thread-safe: filled from workers, read from the main thread.
class PreparedFiles {
public:
    // At most this many files are kept; the oldest goes first.
    static constexpr std::size_t kCapacity = 16;

    void put(std::unique_ptr<PreparedFile> file);
    // A copy of the information read ahead for this file (the decoder
    // stays); null when there is none.
    [[nodiscard]] std::unique_ptr<PreparedFile> information(const FileIdentity& identity) const;
    // The file read ahead for playback, taken out (its decoder plays once);
    // null when there is none.
    [[nodiscard]] std::unique_ptr<PreparedFile> takePlayback(const FileIdentity& identity);
    void clear();

private:
    mutable std::mutex mutex_;
    std::deque<std::unique_ptr<PreparedFile>> files_;
};

// Reads `path` as an open for `forPlayback` would (decoder opened at
// `mixRate`); null when the path names nothing. Runs on any thread; may
// take long on a strange file.
[[nodiscard]] std::unique_ptr<PreparedFile> readAhead(const std::string& path, bool forPlayback,
                                                      int mixRate);

} // namespace tembrel::playback
