// Opens an audio file with the TagLib reader its content calls for. The first
// bytes decide, so a file whose name has an unusual or no extension (an
// upload, say) is still read by the right reader; only content that none of
// the known signatures matches falls back to the name's extension.
#pragma once

#include <fileref.h>
#include <tiostream.h>

#include <memory>

#include <string>

namespace tembrel::playback {

enum class TagFileKind { Mpeg, Flac, OggVorbis, OggOpus, OggFlac, Wav, Mp4, Asf, Other };

struct OpenedTagFile {
    // The file as the reader reads it; outlives the reader.
    std::unique_ptr<TagLib::IOStream> stream;
    TagLib::FileRef ref; // owns the reader; null when the file cannot be read
    TagFileKind kind = TagFileKind::Other;

    [[nodiscard]] TagLib::File* file() const { return ref.file(); }
};

// `withProperties`: also read the audio properties (length, sample rate).
// MPEG files never read them: their length is measured from the frames.
[[nodiscard]] OpenedTagFile openTagFile(const std::string& path, bool withProperties);

} // namespace tembrel::playback
