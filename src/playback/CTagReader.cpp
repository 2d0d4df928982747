// Reads a track's title, album, artist and length: first from the folder
// names of a path, then from the file's tags through the sound library.
#include "playback/CTagReader.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <string_view>

#include "playback/TextEncoding.h"

namespace tembrel::playback {

namespace {

constexpr std::size_t kNotFound = 0;
constexpr std::size_t kFrameIdLength = 4;
constexpr int kMsPerSecond = 1000;
constexpr int kSecondsPerMinute = 60;

[[nodiscard]] constexpr bool isSeparator(char c, PathSeparators separators) noexcept {
    return c == '/' || (separators == PathSeparators::SlashOrBackslash && c == '\\');
}

// The highest position in from..1 holding a separator; position 0 is never
// examined. kNotFound when there is none.
[[nodiscard]] std::size_t findSeparatorBackwards(std::string_view path, std::size_t from,
                                                 PathSeparators separators) noexcept {
    for (std::size_t pos = from; pos >= 1; --pos) {
        if (isSeparator(path[pos], separators)) {
            return pos;
        }
    }
    return kNotFound;
}

[[nodiscard]] std::string between(std::string_view path, std::size_t left, std::size_t right) {
    return std::string(path.substr(left + 1, right - left - 1));
}

} // namespace

void CTagReader::readFallbackNames(std::string_view path, std::string& title, std::string& album,
                                   std::string& artist, PathSeparators separators) {
    if (path.size() < 2) {
        return;
    }
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos || dot == 0) {
        return;
    }
    const std::size_t p1 = findSeparatorBackwards(path, dot - 1, separators);
    if (p1 == kNotFound) {
        return;
    }
    title = between(path, p1, dot);
    const std::size_t p2 = findSeparatorBackwards(path, p1 - 1, separators);
    if (p2 == kNotFound) {
        return;
    }
    album = between(path, p2, p1);
    const std::size_t p3 = findSeparatorBackwards(path, p2 - 1, separators);
    if (p3 == kNotFound) {
        return;
    }
    artist = between(path, p3, p2);
}

namespace {

// The text up to the first zero byte, cut to at most kMaxFieldBytes at a
// character boundary so that a long text stays valid UTF-8.
[[nodiscard]] std::string fieldText(std::string_view bytes) {
    bytes = bytes.substr(0, bytes.find('\0'));
    return std::string(utf8Prefix(bytes, CTagReader::kMaxFieldBytes));
}

void readFixedFields(const SoundLibrary& library, StreamHandle stream, std::string& title,
                     std::string& album, std::string& artist) {
    if (const auto value = library.findTagField(stream, kTagFieldId3v1, "TITLE")) {
        title = fieldText(*value);
    }
    if (const auto value = library.findTagField(stream, kTagFieldId3v1, "ALBUM")) {
        album = fieldText(*value);
    } else if (const auto wmValue = library.findTagField(stream, kTagFieldAsf, "WM/AlbumTitle")) {
        album = fieldText(*wmValue);
    }
    if (const auto value = library.findTagField(stream, kTagFieldId3v1, "ARTIST")) {
        artist = fieldText(*value);
    }
    if (const auto value = library.findTagField(stream, kTagFieldId3v1, "AUTHOR")) {
        artist = fieldText(*value);
    }
}

// ID3v2 text frames in every encoding (the fields hold them as UTF-8);
// later frames win.
void readTextFrames(const SoundLibrary& library, StreamHandle stream, std::string& title,
                    std::string& album, std::string& artist) {
    const int fieldCount = library.tagFieldCount(stream).value_or(0);
    for (int index = 0; index < fieldCount; ++index) {
        const std::optional<TagField> field = library.tagField(stream, index);
        if (!field || field->type != kTagFieldId3v2 || field->value.empty()) {
            continue;
        }
        // Only the frame id's first four characters count.
        const std::string_view frameId = std::string_view(field->name).substr(0, kFrameIdLength);
        std::string* target = nullptr;
        if (frameId == "TPE1") {
            target = &artist;
        } else if (frameId == "TIT2") {
            target = &title;
        } else if (frameId == "TALB") {
            target = &album;
        }
        if (target != nullptr) {
            *target = fieldText(std::string_view(field->value).substr(1));
        }
    }
}

} // namespace

std::string CTagReader::formatMinutesSeconds(int milliseconds) {
    // A library that cannot tell a length may report a negative one.
    const int totalSeconds = std::max(milliseconds, 0) / kMsPerSecond;
    const int minutes = totalSeconds / kSecondsPerMinute;
    const int seconds = totalSeconds % kSecondsPerMinute;
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), seconds < 10 ? "%d:0%d" : "%d:%d", minutes, seconds);
    return text.data();
}

int CTagReader::readTrackInfo(const std::string& openPath, const std::string& namePath,
                              std::string& title, std::string& album, std::string& artist,
                              std::string& length) const {
    // The file's own path names folders with '/' only (a '\' is part of a
    // Linux name); a path from a client may use either.
    readFallbackNames(namePath, title, album, artist,
                      namePath == openPath ? PathSeparators::SlashOnly
                                           : PathSeparators::SlashOrBackslash);

    const StreamHandle stream = library_.openStream(openPath, OpenPurpose::InformationOnly);
    if (stream == kNoStream) {
        return -1;
    }
    readFixedFields(library_, stream, title, album, artist);
    readTextFrames(library_, stream, title, album, artist);
    length = formatMinutesSeconds(library_.streamLengthMs(stream));
    library_.closeStream(stream);
    return 0;
}

} // namespace tembrel::playback
