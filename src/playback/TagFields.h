// Tag fields of an audio file as the sound library hands them out: ID3v1
// fields by name (and the title, artist and album of APEv2, Vorbis comment,
// RIFF INFO and MP4 tags under the same names), ID3v2 frames with their
// text-encoding byte, Windows Media content description and attributes.
// Texts come out as UTF-8, whatever encoding the file used.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "playback/SoundLibrary.h"

namespace tembrel::playback {

struct FileTags {
    // Fixed fields first (APEv2 before ID3v1), then ID3v2 frames, then attributes.
    std::vector<TagField> fields;
    int lengthMs = 0;      // from the headers; 0 when unknown or not asked for
    bool hasAudio = false; // the headers describe playable audio
};

// Reads the tags of `path` (and the length, when `withLength`) without
// decoding anything; MPEG lengths come from the frame headers. nullopt when
// the file type is not one TagLib knows or the file cannot be parsed.
[[nodiscard]] std::optional<FileTags> readFileTags(const std::string& path, bool withLength);

} // namespace tembrel::playback
