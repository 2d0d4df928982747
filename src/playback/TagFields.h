// Tag fields of an audio file as the sound library hands them out: ID3v1
// fields by name, ID3v2 frames with their text-encoding byte, Windows Media
// content description and attributes. Texts come out as UTF-8.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "playback/SoundLibrary.h"

namespace tembrel::playback {

struct FileTags {
    std::vector<TagField> fields; // ID3v1 and WMA fields first, then ID3v2 frames, then attributes
    int lengthMs = 0;             // from the headers; 0 when unknown or not asked for
    bool hasAudio = false;        // the headers describe playable audio
};

// Reads the tags of `path` (and the length, when `withLength`) without
// decoding anything. nullopt when the file type is not one TagLib knows or the
// file cannot be parsed.
[[nodiscard]] std::optional<FileTags> readFileTags(const std::string& path, bool withLength);

} // namespace tembrel::playback
