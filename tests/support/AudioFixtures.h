// Test audio made on the spot: tones and silence encoded as MP3 or WMA by the
// ffmpeg and lame command-line tools into a temporary folder, with chosen tags.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tembrel::test {

// A fresh folder under the system temp folder, removed with everything in it
// when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const noexcept { return path_; }

private:
    std::filesystem::path path_;
};

enum class TagStyle {
    None,            // no tags at all
    Id3v2AndV1,      // ID3v2.3 (ASCII texts in encoding 0) plus an ID3v1 tag
    Id3v1Only,       // an ID3v1 tag and nothing else
    Id3v2Utf16Title, // ID3v2.3 only; the title is non-ASCII, so it is stored in encoding 1
};

struct ToneSpec {
    double seconds = 2.0;
    int frequencyHz = 1000; // full-scale sine
    int sampleRate = 44100;
    int channels = 2;
    int bitrateKbps = 128;
    std::string title{}, artist{}, album{}; // UTF-8; empty texts are not written
    TagStyle tags = TagStyle::None;
    bool silent = false; // digital silence instead of the sine
};

// For Id3v2Utf16Title a title without non-ASCII characters gets " \u00e9" appended,
// so the frame really is written in UTF-16.
[[nodiscard]] bool makeMp3(const std::filesystem::path& file, const ToneSpec& tone);
// WMA (wmav2): title and artist land in the ASF content description (Title,
// Author), the album in the "WM/AlbumTitle" attribute. `tone.tags` is ignored.
[[nodiscard]] bool makeWma(const std::filesystem::path& file, const ToneSpec& tone);
// Writes `bytes` as the whole content of `file` (for corrupt or odd files).
[[nodiscard]] bool writeFile(const std::filesystem::path& file, std::string_view bytes);

// The title makeMp3 writes for `tone` (differs from tone.title only for Id3v2Utf16Title).
[[nodiscard]] std::string mp3Title(const ToneSpec& tone);

} // namespace tembrel::test
