// The one folder uploads are stored in. A client names the server-side file
// with a path of its own; only that path's last component is used, so no
// upload can create, empty or extend a file anywhere else. An upload is
// written into a fresh "NAME.part" file and renamed to NAME when finished, so
// unfinished uploads are known after a restart and never replace a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tembrel::remote {

// One uploaded file held open for appending; closed when destroyed.
class UploadFile {
public:
    struct Closer {
        void operator()(std::FILE* file) const noexcept { std::fclose(file); }
    };

    // Appends `chunk` and then `zeroFill` zero bytes at the end of the file,
    // and hands them to the system. False when not everything was written.
    [[nodiscard]] bool append(std::span<const std::uint8_t> chunk, std::size_t zeroFill);
    void close() noexcept { file_.reset(); }

private:
    friend class UploadFolder;
    explicit UploadFile(std::unique_ptr<std::FILE, Closer> file) noexcept
        : file_(std::move(file)) {}

    std::unique_ptr<std::FILE, Closer> file_;
};

class UploadFolder {
public:
    // Longest file name accepted, in bytes: the common file-system limit less
    // room for a " (NN)" number and the unfinished suffix.
    static constexpr std::size_t kMaxNameBytes = 240;
    // How many numbered names ("song (2).mp3", ...) are tried for one upload.
    static constexpr int kMaxNameNumber = 99;
    static constexpr std::string_view kUnfinishedSuffix = ".part";

    explicit UploadFolder(std::filesystem::path folder) : folder_(std::move(folder)) {}

    [[nodiscard]] const std::filesystem::path& folder() const noexcept { return folder_; }

    // The last component of a client's path, split on '/' and '\'; nothing
    // when it is empty, "." or "..", holds a NUL byte, is too long or ends
    // like an unfinished upload.
    [[nodiscard]] static std::optional<std::string> fileNameOf(std::string_view clientPath);

    // Where the finished upload named by `clientPath` lives; nothing when the
    // name is refused or the folder is not configured.
    [[nodiscard]] std::optional<std::filesystem::path> resolve(std::string_view clientPath) const;

    struct Created {
        std::string name; // the finished file's name, maybe numbered
        UploadFile file;  // the unfinished file, open for appending
    };
    // Creates a fresh unfinished file for the upload `clientPath` names,
    // under the first of NAME, "STEM (2)EXT", ... that no file in the folder
    // and no name `taken` accepts holds. Never opens an existing file, so no
    // planted link is followed. Nothing when none can be created.
    [[nodiscard]] std::optional<Created>
    createFresh(std::string_view clientPath,
                const std::function<bool(const std::string&)>& taken) const;

    // Renames the unfinished file of `name` to `name`, never replacing a
    // file. False when that fails.
    [[nodiscard]] bool finish(const std::string& name) const;
    // Removes the unfinished, or the finished, file of `name`.
    void removeUnfinished(const std::string& name) const;
    void removeFinished(const std::string& name) const;

    // Removes every unfinished file (left by a previous run); how many.
    std::size_t removeLeftovers() const;
    // The bytes the folder's files hold; nothing when it has more than
    // `maxEntries` entries, each of which costs a file-system lookup.
    [[nodiscard]] std::optional<std::uint64_t>
    usedBytes(std::size_t maxEntries = std::numeric_limits<std::size_t>::max()) const;

    // Where the unfinished file of `name` lives.
    [[nodiscard]] std::filesystem::path unfinishedPath(const std::string& name) const {
        return folder_ / (name + std::string(kUnfinishedSuffix));
    }

private:
    std::filesystem::path folder_;
};

} // namespace tembrel::remote
