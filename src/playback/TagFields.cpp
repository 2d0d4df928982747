// TagLib-based tag field extraction for MP3 (ID3v1, ID3v2) and WMA (ASF).
#include "playback/TagFields.h"

#include <asffile.h>
#include <asftag.h>
#include <fileref.h>
#include <id3v1tag.h>
#include <id3v2frame.h>
#include <id3v2tag.h>
#include <mpegfile.h>
#include <textidentificationframe.h>

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

// The text of one string in the frame's own encoding; Latin-1 becomes UTF-8.
std::string encodedText(const TagLib::String& text, TagLib::String::Type encoding) {
    switch (encoding) {
    case TagLib::String::UTF16:
    case TagLib::String::UTF16BE:
    case TagLib::String::UTF16LE:
        return bytes(text.data(encoding));
    case TagLib::String::Latin1:
    case TagLib::String::UTF8:
        break;
    }
    return utf8(text);
}

// Encoding byte followed by the frame's strings, separated as the ID3v2
// format separates them (a zero character in the frame's encoding).
std::string textFrameBody(const TagLib::ID3v2::TextIdentificationFrame& frame) {
    const TagLib::String::Type encoding = frame.textEncoding();
    const bool wide = encoding == TagLib::String::UTF16 || encoding == TagLib::String::UTF16BE ||
                      encoding == TagLib::String::UTF16LE;
    std::string body(1, static_cast<char>(encoding));
    bool first = true;
    for (const TagLib::String& text : frame.fieldList()) {
        if (!first) {
            body.append(wide ? 2 : 1, '\0');
        }
        first = false;
        body += encodedText(text, encoding);
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

} // namespace

std::optional<FileTags> readFileTags(const std::string& path, bool withLength) {
    const TagLib::FileRef file(path.c_str(), withLength, TagLib::AudioProperties::Fast);
    if (file.isNull() || !file.file()->isValid()) {
        return std::nullopt;
    }
    FileTags tags;
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file.file())) {
        if (mpeg->hasID3v1Tag()) {
            addId3v1(tags, *mpeg->ID3v1Tag());
        }
        if (mpeg->hasID3v2Tag()) {
            addId3v2(tags, *mpeg->ID3v2Tag());
        }
    } else if (auto* asf = dynamic_cast<TagLib::ASF::File*>(file.file())) {
        if (asf->tag() != nullptr) {
            addAsf(tags, *asf->tag());
        }
    }
    if (const TagLib::AudioProperties* audio = file.audioProperties()) {
        tags.hasAudio = audio->sampleRate() > 0 && audio->lengthInMilliseconds() > 0;
        tags.lengthMs = audio->lengthInMilliseconds();
    }
    return tags;
}

} // namespace tembrel::playback
