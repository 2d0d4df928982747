// Which files are tracks: the audio formats the server lists and accepts, by
// file-name extension, matched ignoring letter case.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tembrel::library {

class AudioFormats {
public:
    // mp3, wma, flac, ogg, oga, opus, m4a, wav: what the decoder plays.
    AudioFormats();

    // A list such as "mp3,flac" or ".MP3 .flac" (commas and blanks separate,
    // a leading dot is optional). Extensions outside the default set are not
    // taken and are named in `refused`; nothing when no extension is taken.
    [[nodiscard]] static std::optional<AudioFormats>
    fromList(std::string_view list, std::vector<std::string>* refused = nullptr);

    // True when `name` ends in "." and one of the extensions, in any case.
    [[nodiscard]] bool matches(std::string_view name) const noexcept;

    // The extensions, lower case, without dots, in list order.
    [[nodiscard]] const std::vector<std::string>& extensions() const noexcept {
        return extensions_;
    }
    // "mp3,wma,...": the form fromList reads.
    [[nodiscard]] std::string text() const;

private:
    explicit AudioFormats(std::vector<std::string> extensions)
        : extensions_(std::move(extensions)) {}

    std::vector<std::string> extensions_;
};

} // namespace tembrel::library
