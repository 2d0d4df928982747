// Content sniffing for TagLib's readers.
#include "playback/TagFileOpen.h"

#include <asffile.h>
#include <flacfile.h>
#include <mp4file.h>
#include <mpegfile.h>
#include <oggflacfile.h>
#include <opusfile.h>
#include <vorbisfile.h>
#include <wavfile.h>

#include <tfilestream.h>

#include <array>
#include <cstring>
#include <fstream>

#include "playback/ReadDeadline.h"

namespace tembrel::playback {

namespace {

// A read-only file whose reads end early once the thread's read deadline
// has passed, so TagLib's searches through a huge file stop there.
class DeadlineFileStream final : public TagLib::FileStream {
public:
    explicit DeadlineFileStream(TagLib::FileName name) : TagLib::FileStream(name, true) {}

    TagLib::ByteVector readBlock(unsigned long length) override {
        if (ReadDeadline::passed()) {
            return {};
        }
        return TagLib::FileStream::readBlock(length);
    }
};

// Enough for the ID3v2 header, the Ogg first page's packet signature, RIFF
// and MP4 box headers and the ASF header GUID.
constexpr std::size_t kSniffBytes = 64;
constexpr std::size_t kOggPacketOffset = 28;
constexpr std::size_t kId3v2HeaderBytes = 10;
constexpr std::array<unsigned char, 16> kAsfHeaderGuid = {
    0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

using Bytes = std::array<char, kSniffBytes>;

[[nodiscard]] bool readAt(std::ifstream& in, std::streamoff offset, Bytes& out) {
    out.fill(0);
    in.clear();
    in.seekg(offset);
    in.read(out.data(), static_cast<std::streamsize>(out.size()));
    return in.gcount() > 0;
}

[[nodiscard]] bool startsWith(const Bytes& bytes, std::size_t at, const char* text) {
    return std::memcmp(bytes.data() + at, text, std::strlen(text)) == 0;
}

[[nodiscard]] TagFileKind kindOf(const Bytes& b) {
    const auto byte = [&](std::size_t i) {
        return static_cast<unsigned char>(b[i]);
    };
    if (startsWith(b, 0, "fLaC")) {
        return TagFileKind::Flac;
    }
    if (startsWith(b, 0, "OggS")) {
        if (startsWith(b, kOggPacketOffset, "OpusHead")) {
            return TagFileKind::OggOpus;
        }
        if (startsWith(b, kOggPacketOffset,
                       "\x7F"
                       "FLAC")) {
            return TagFileKind::OggFlac;
        }
        return startsWith(b, kOggPacketOffset, "\x01vorbis") ? TagFileKind::OggVorbis
                                                             : TagFileKind::Other;
    }
    if (startsWith(b, 0, "RIFF") && startsWith(b, 8, "WAVE")) {
        return TagFileKind::Wav;
    }
    if (startsWith(b, 4, "ftyp")) {
        return TagFileKind::Mp4;
    }
    if (std::memcmp(b.data(), kAsfHeaderGuid.data(), kAsfHeaderGuid.size()) == 0) {
        return TagFileKind::Asf;
    }
    if (startsWith(b, 0, "ID3") || (byte(0) == 0xFF && (byte(1) & 0xE0) == 0xE0)) {
        return TagFileKind::Mpeg;
    }
    return TagFileKind::Other;
}

// The kind of the content, looking past an ID3v2 tag in front of it (FLAC
// files may carry one).
[[nodiscard]] TagFileKind sniff(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    Bytes bytes{};
    if (!in || !readAt(in, 0, bytes)) {
        return TagFileKind::Other;
    }
    if (!startsWith(bytes, 0, "ID3")) {
        return kindOf(bytes);
    }
    const auto size = [&](std::size_t i) {
        return static_cast<unsigned char>(bytes[i]) & 0x7F;
    };
    const std::streamoff after = static_cast<std::streamoff>(kId3v2HeaderBytes) +
                                 ((size(6) << 21) | (size(7) << 14) | (size(8) << 7) | size(9));
    Bytes behind{};
    if (readAt(in, after, behind) && kindOf(behind) == TagFileKind::Flac) {
        return TagFileKind::Flac;
    }
    return TagFileKind::Mpeg;
}

} // namespace

OpenedTagFile openTagFile(const std::string& path, bool withProperties) {
    constexpr TagLib::AudioProperties::ReadStyle kStyle = TagLib::AudioProperties::Average;
    const bool props = withProperties;
    OpenedTagFile opened;
    opened.kind = sniff(path);
    opened.stream = std::make_unique<DeadlineFileStream>(path.c_str());
    if (!opened.stream->isOpen()) {
        return opened;
    }
    TagLib::IOStream* stream = opened.stream.get();
    switch (opened.kind) {
    case TagFileKind::Mpeg:
        opened.ref = TagLib::FileRef(
            new TagLib::MPEG::File(stream, TagLib::ID3v2::FrameFactory::instance(), false, kStyle));
        break;
    case TagFileKind::Flac:
        opened.ref = TagLib::FileRef(
            new TagLib::FLAC::File(stream, TagLib::ID3v2::FrameFactory::instance(), props, kStyle));
        break;
    case TagFileKind::OggVorbis:
        opened.ref = TagLib::FileRef(new TagLib::Ogg::Vorbis::File(stream, props, kStyle));
        break;
    case TagFileKind::OggOpus:
        opened.ref = TagLib::FileRef(new TagLib::Ogg::Opus::File(stream, props, kStyle));
        break;
    case TagFileKind::OggFlac:
        opened.ref = TagLib::FileRef(new TagLib::Ogg::FLAC::File(stream, props, kStyle));
        break;
    case TagFileKind::Wav:
        opened.ref = TagLib::FileRef(new TagLib::RIFF::WAV::File(stream, props, kStyle));
        break;
    case TagFileKind::Mp4:
        opened.ref = TagLib::FileRef(new TagLib::MP4::File(stream, props, kStyle));
        break;
    case TagFileKind::Asf:
        opened.ref = TagLib::FileRef(new TagLib::ASF::File(stream, props, kStyle));
        break;
    case TagFileKind::Other: {
        // Not a signature we know: let TagLib go by the extension.
        opened.ref = TagLib::FileRef(stream, props, kStyle);
        break;
    }
    }
    if (!opened.ref.isNull() && !opened.ref.file()->isValid()) {
        opened.ref = TagLib::FileRef();
    }
    return opened;
}

} // namespace tembrel::playback
