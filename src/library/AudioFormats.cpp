// Extension lists: parsing, and the case-insensitive match of a file name.
#include "library/AudioFormats.h"

#include <algorithm>
#include <array>

namespace tembrel::library {

namespace {

constexpr std::array<std::string_view, 8> kDefaultExtensions = {"mp3", "wma",  "flac", "ogg",
                                                                "oga", "opus", "m4a",  "wav"};
// Longer than any extension in the default set.
constexpr std::size_t kMaxExtensionBytes = 8;

[[nodiscard]] char foldAscii(char c) noexcept {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

[[nodiscard]] std::string folded(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), foldAscii);
    return out;
}

[[nodiscard]] bool isKnown(std::string_view extension) {
    return std::find(kDefaultExtensions.begin(), kDefaultExtensions.end(), extension) !=
           kDefaultExtensions.end();
}

} // namespace

AudioFormats::AudioFormats() : extensions_(kDefaultExtensions.begin(), kDefaultExtensions.end()) {}

std::optional<AudioFormats> AudioFormats::fromList(std::string_view list,
                                                   std::vector<std::string>* refused) {
    std::vector<std::string> taken;
    std::size_t pos = 0;
    while (pos < list.size()) {
        const std::size_t end = std::min(list.find_first_of(", \t", pos), list.size());
        std::string_view item = list.substr(pos, end - pos);
        pos = end + 1;
        if (!item.empty() && item.front() == '.') {
            item.remove_prefix(1);
        }
        if (item.empty()) {
            continue;
        }
        const std::string extension = folded(item);
        if (!isKnown(extension)) {
            if (refused != nullptr) {
                refused->emplace_back(item);
            }
            continue;
        }
        if (std::find(taken.begin(), taken.end(), extension) == taken.end()) {
            taken.push_back(extension);
        }
    }
    if (taken.empty()) {
        return std::nullopt;
    }
    return AudioFormats(std::move(taken));
}

bool AudioFormats::matches(std::string_view name) const noexcept {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || name.size() - dot - 1 > kMaxExtensionBytes) {
        return false;
    }
    const std::string_view suffix = name.substr(dot + 1);
    return std::any_of(extensions_.begin(), extensions_.end(), [&](const std::string& extension) {
        return extension.size() == suffix.size() &&
               std::equal(suffix.begin(), suffix.end(), extension.begin(),
                          [](char a, char b) { return foldAscii(a) == b; });
    });
}

std::string AudioFormats::text() const {
    std::string out;
    for (const std::string& extension : extensions_) {
        if (!out.empty()) {
            out += ',';
        }
        out += extension;
    }
    return out;
}

} // namespace tembrel::library
