// The one folder uploads are stored in. A client names the server-side file
// with a path of its own; only that path's last component is used, so no
// upload can create, empty or extend a file anywhere else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
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

private:
    friend class UploadFolder;
    explicit UploadFile(std::unique_ptr<std::FILE, Closer> file) noexcept
        : file_(std::move(file)) {}

    std::unique_ptr<std::FILE, Closer> file_;
};

class UploadFolder {
public:
    // Longest file name accepted, in bytes (the common file-system limit).
    static constexpr std::size_t kMaxNameBytes = 255;

    explicit UploadFolder(std::filesystem::path folder) : folder_(std::move(folder)) {}

    [[nodiscard]] const std::filesystem::path& folder() const noexcept { return folder_; }

    // The last component of a client's path, split on '/' and '\'; nothing
    // when it is empty, "." or "..", holds a NUL byte or is too long.
    [[nodiscard]] static std::optional<std::string> fileNameOf(std::string_view clientPath);

    // Where the upload named by `clientPath` lives; nothing when the name is
    // refused or the folder is not configured.
    [[nodiscard]] std::optional<std::filesystem::path> resolve(std::string_view clientPath) const;

    // Creates the file, or empties it when it exists. Creates the folder
    // first when it is missing. False when the name is refused or the file
    // cannot be written.
    [[nodiscard]] bool create(std::string_view clientPath) const;

    // Opens the file for appending (created when missing); nothing when the
    // name is refused or the file cannot be written.
    [[nodiscard]] std::optional<UploadFile> openForAppend(std::string_view clientPath) const;

    // Appends `chunk` and then `zeroFill` zero bytes at the end of the file
    // (created when missing). False when nothing could be written.
    [[nodiscard]] bool append(std::string_view clientPath, std::span<const std::uint8_t> chunk,
                              std::size_t zeroFill) const;

private:
    // The path to write for `clientPath`, the folder created; nothing when the
    // name is refused or the target is not a plain file we may write.
    [[nodiscard]] std::optional<std::filesystem::path>
    writableTarget(std::string_view clientPath) const;

    std::filesystem::path folder_;
};

} // namespace tembrel::remote
