// TagLib's ID3v1 string handler, replaced once per process.
#include "playback/Id3v1Text.h"

#include <id3v1tag.h>

#include <mutex>

#include "playback/TextEncoding.h"

namespace tembrel::playback {

namespace {

constexpr unsigned char kContinuationMask = 0xC0;
constexpr unsigned char kContinuationBits = 0x80;
constexpr unsigned char kMultiByteLead = 0xC0;

// `text` without a last UTF-8 sequence that the field's end cut short.
[[nodiscard]] std::string_view withoutCutCharacter(std::string_view text) noexcept {
    std::size_t start = text.size();
    while (start > 0 &&
           (static_cast<unsigned char>(text[start - 1]) & kContinuationMask) == kContinuationBits) {
        --start;
    }
    if (start == 0 || static_cast<unsigned char>(text[start - 1]) < kMultiByteLead) {
        return text;
    }
    return text.substr(0, start - 1);
}

class Id3v1TextHandler final : public TagLib::ID3v1::StringHandler {
public:
    TagLib::String parse(const TagLib::ByteVector& data) const override {
        const std::string text = id3v1FieldText(std::string_view(data.data(), data.size()));
        return TagLib::String(text, TagLib::String::UTF8);
    }
};

} // namespace

std::string id3v1FieldText(std::string_view field) {
    // Only a text that fills the whole field can have been cut by its end.
    const bool filled =
        field.find('\0') == std::string_view::npos && (field.empty() || field.back() != ' ');
    field = field.substr(0, field.find('\0'));
    while (!field.empty() && field.back() == ' ') {
        field.remove_suffix(1);
    }
    if (isValidUtf8(field)) {
        return std::string(field);
    }
    const std::string_view whole = withoutCutCharacter(field);
    if (filled && whole.size() < field.size() && isValidUtf8(whole)) {
        return std::string(whole);
    }
    return windows1252ToUtf8(field);
}

void installId3v1TextRule() {
    // TagLib keeps the pointer and never frees it: the handler lives as long
    // as the process.
    static const Id3v1TextHandler handler;
    static std::once_flag once;
    std::call_once(once, [] { TagLib::ID3v1::Tag::setStringHandler(&handler); });
}

} // namespace tembrel::playback
