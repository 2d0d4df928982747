// Finding and reading the album picture of a playlist entry: the file
// "Folder.jpg" next to the entry's audio file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace tembrel::remote {

inline constexpr std::string_view kPictureFileName = "Folder.jpg";

// The folder of an entry's path: everything before its last '/' or '\'.
// Nothing for a path without a separator (no folder to look in).
[[nodiscard]] std::optional<std::string_view> folderOfEntry(std::string_view entryPath) noexcept;

// The picture for an entry: "Folder.jpg" in the entry's folder, else the
// first name in that folder (by byte order) equal to it ignoring the letter
// case of A-Z. Nothing when there is none.
[[nodiscard]] std::optional<std::filesystem::path> locatePicture(std::string_view entryPath);

// The whole file, or nothing when it cannot be read or holds more than
// `maxBytes` bytes.
[[nodiscard]] std::optional<std::vector<std::uint8_t>>
readPicture(const std::filesystem::path& picture, std::size_t maxBytes);

} // namespace tembrel::remote
