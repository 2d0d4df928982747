// TagLib-based tag field extraction: ID3v1, ID3v2 and APEv2 on MPEG, ASF on
// WMA, Vorbis comments on Ogg and FLAC, RIFF INFO on WAV, MP4 items.
#include "playback/TagFields.h"

#include <apetag.h>
#include <asffile.h>
#include <asftag.h>
#include <flacfile.h>
#include <id3v1tag.h>
#include <id3v2frame.h>
#include <id3v2framefactory.h>
#include <id3v2tag.h>
#include <mpegfile.h>
#include <tbytevectorstream.h>
#include <textidentificationframe.h>
#include <wavfile.h>
#include <xiphcomment.h>

#include "playback/Id3v1Text.h"
#include "playback/Id3v2Repair.h"
#include "playback/Mp3Length.h"
#include "playback/TagFileOpen.h"

namespace tembrel::playback {

namespace {

// Every ID3v2 frame TagLib renders has the 10-byte ID3v2.4 frame header.
constexpr unsigned kId3v2FrameHeaderSize = 10;

std::string utf8(const TagLib::String& text) {
    return text.to8Bit(true);
}

std::string bytes(const TagLib::ByteVector& data) {
    return std::string(data.data(), data.size());
}

void addText(FileTags& tags, int type, const char* name, const TagLib::String& value) {
    // An empty fixed-size ID3v1 field means the tag has no such value.
    if (!value.isEmpty()) {
        tags.fields.push_back(TagField{type, name, utf8(value)});
    }
}

void addNumber(FileTags& tags, const char* name, unsigned value) {
    if (value != 0) {
        tags.fields.push_back(TagField{kTagFieldId3v1, name, std::to_string(value)});
    }
}

void addId3v1(FileTags& tags, const TagLib::ID3v1::Tag& tag) {
    addText(tags, kTagFieldId3v1, "TITLE", tag.title());
    addText(tags, kTagFieldId3v1, "ARTIST", tag.artist());
    addText(tags, kTagFieldId3v1, "ALBUM", tag.album());
    addText(tags, kTagFieldId3v1, "COMMENT", tag.comment());
    addNumber(tags, "YEAR", tag.year());
    addText(tags, kTagFieldId3v1, "GENRE", tag.genre());
    addNumber(tags, "TRACK", tag.track());
}

// Encoding byte (as the file had it) followed by the frame's text as UTF-8;
// several strings are separated by a zero byte.
std::string textFrameBody(const TagLib::ID3v2::TextIdentificationFrame& frame) {
    std::string body(1, static_cast<char>(frame.textEncoding()));
    bool first = true;
    for (const TagLib::String& text : frame.fieldList()) {
        if (!first) {
            body += '\0';
        }
        first = false;
        body += utf8(text);
    }
    return body;
}

void addId3v2(FileTags& tags, const TagLib::ID3v2::Tag& tag) {
    for (const TagLib::ID3v2::Frame* frame : tag.frameList()) {
        std::string body;
        if (const auto* text = dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(frame)) {
            body = textFrameBody(*text);
        } else {
            body = bytes(frame->render().mid(kId3v2FrameHeaderSize));
        }
        tags.fields.push_back(TagField{kTagFieldId3v2, bytes(frame->frameID()), std::move(body)});
    }
}

std::string attributeValue(const TagLib::ASF::Attribute& attribute) {
    switch (attribute.type()) {
    case TagLib::ASF::Attribute::UnicodeType:
        return utf8(attribute.toString());
    case TagLib::ASF::Attribute::BoolType:
        return attribute.toBool() ? "1" : "0";
    case TagLib::ASF::Attribute::DWordType:
        return std::to_string(attribute.toUInt());
    case TagLib::ASF::Attribute::QWordType:
        return std::to_string(attribute.toULongLong());
    case TagLib::ASF::Attribute::WordType:
        return std::to_string(attribute.toUShort());
    case TagLib::ASF::Attribute::BytesType:
    case TagLib::ASF::Attribute::GuidType:
        break;
    }
    return bytes(attribute.toByteVector());
}

void addAsf(FileTags& tags, TagLib::ASF::Tag& tag) {
    addText(tags, kTagFieldId3v1, "TITLE", tag.title());
    addText(tags, kTagFieldId3v1, "AUTHOR", tag.artist());
    for (const auto& [name, attributes] : tag.attributeListMap()) {
        for (const TagLib::ASF::Attribute& attribute : attributes) {
            tags.fields.push_back(TagField{kTagFieldAsf, utf8(name), attributeValue(attribute)});
        }
    }
}

// Title, artist and album of any tag, as the fixed fields the tag reader
// asks for first. Fields pushed earlier win over later ones of the same name.
void addCommon(FileTags& tags, const TagLib::Tag* tag) {
    if (tag != nullptr) {
        addText(tags, kTagFieldId3v1, "TITLE", tag->title());
        addText(tags, kTagFieldId3v1, "ARTIST", tag->artist());
        addText(tags, kTagFieldId3v1, "ALBUM", tag->album());
    }
}

// The frames of the file's ID3v2 tag; a v2.3 tag with an extended header is
// read from its repaired bytes instead.
void addId3v2Of(FileTags& tags, const std::string& path, TagLib::ID3v2::Tag* tag) {
    if (const std::optional<TagLib::ByteVector> repaired = repairedId3v23Tag(path)) {
        TagLib::ByteVectorStream stream(*repaired);
        TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
        if (file.hasID3v2Tag()) {
            addId3v2(tags, *file.ID3v2Tag());
            return;
        }
    }
    if (tag != nullptr) {
        addId3v2(tags, *tag);
    }
}

// MPEG: APEv2 before ID3v1 (the richer tag wins), ID3v2 frames last.
void addMpeg(FileTags& tags, const std::string& path, TagLib::MPEG::File& mpeg) {
    if (mpeg.hasAPETag()) {
        addCommon(tags, mpeg.APETag());
    }
    if (mpeg.hasID3v1Tag()) {
        addId3v1(tags, *mpeg.ID3v1Tag());
    }
    addId3v2Of(tags, path, mpeg.hasID3v2Tag() ? mpeg.ID3v2Tag() : nullptr);
}

void addFlac(FileTags& tags, const std::string& path, TagLib::FLAC::File& flac) {
    if (flac.hasXiphComment()) {
        addCommon(tags, flac.xiphComment());
    }
    if (flac.hasID3v1Tag()) {
        addId3v1(tags, *flac.ID3v1Tag());
    }
    addId3v2Of(tags, path, flac.hasID3v2Tag() ? flac.ID3v2Tag() : nullptr);
}

void addWav(FileTags& tags, TagLib::RIFF::WAV::File& wav) {
    if (wav.hasInfoTag()) {
        addCommon(tags, wav.InfoTag());
    }
    if (wav.hasID3v2Tag()) {
        addId3v2(tags, *wav.ID3v2Tag());
    }
}

void addFields(FileTags& tags, const std::string& path, const OpenedTagFile& opened) {
    TagLib::File* file = opened.file();
    switch (opened.kind) {
    case TagFileKind::Mpeg:
        addMpeg(tags, path, static_cast<TagLib::MPEG::File&>(*file));
        return;
    case TagFileKind::Flac:
        addFlac(tags, path, static_cast<TagLib::FLAC::File&>(*file));
        return;
    case TagFileKind::Wav:
        addWav(tags, static_cast<TagLib::RIFF::WAV::File&>(*file));
        return;
    case TagFileKind::Asf:
        if (auto* asf = static_cast<TagLib::ASF::File*>(file)->tag()) {
            addAsf(tags, *asf);
        }
        return;
    case TagFileKind::OggVorbis:
    case TagFileKind::OggOpus:
    case TagFileKind::OggFlac:
    case TagFileKind::Mp4:
        break;
    case TagFileKind::Other:
        if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file)) {
            addMpeg(tags, path, *mpeg);
            return;
        }
        if (auto* asf = dynamic_cast<TagLib::ASF::File*>(file); asf != nullptr && asf->tag()) {
            addAsf(tags, *asf->tag());
            return;
        }
        break;
    }
    addCommon(tags, file->tag());
}

void addLength(FileTags& tags, const std::string& path, const OpenedTagFile& opened) {
    if (opened.kind == TagFileKind::Mpeg ||
        dynamic_cast<const TagLib::MPEG::File*>(opened.file()) != nullptr) {
        if (const std::optional<Mp3Length> length = measureMp3Length(path)) {
            tags.lengthMs = length->milliseconds();
            tags.hasAudio = length->samples > 0;
        }
        return;
    }
    if (const TagLib::AudioProperties* audio = opened.file()->audioProperties()) {
        tags.hasAudio = audio->sampleRate() > 0 && audio->lengthInMilliseconds() > 0;
        tags.lengthMs = audio->lengthInMilliseconds();
    }
}

} // namespace

std::optional<FileTags> readFileTags(const std::string& path, bool withLength) {
    installId3v1TextRule();
    const OpenedTagFile opened = openTagFile(path, withLength);
    if (opened.ref.isNull()) {
        return std::nullopt;
    }
    FileTags tags;
    addFields(tags, path, opened);
    if (withLength) {
        addLength(tags, path, opened);
    }
    return tags;
}

} // namespace tembrel::playback
