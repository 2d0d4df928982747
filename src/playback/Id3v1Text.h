// How ID3v1 texts are read: as UTF-8 when the bytes are valid UTF-8 (what
// Linux taggers write), else as Windows-1252 (what Windows taggers write).
#pragma once

#include <string>
#include <string_view>

namespace tembrel::playback {

// The UTF-8 text of one fixed-size ID3v1 field: up to its first zero byte,
// without trailing blanks. A UTF-8 character cut by the field's end is dropped.
[[nodiscard]] std::string id3v1FieldText(std::string_view field);

// Makes TagLib read every ID3v1 field through id3v1FieldText. Safe to call
// from any thread, any number of times.
void installId3v1TextRule();

} // namespace tembrel::playback
