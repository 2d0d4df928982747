// Where each part of a message sits: the value indices of commands, replies,
// uploads and the picture, and the names of the value type codes.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "net/ValueType.h"

namespace tembrel::protocol {

// Every command and reply.
inline constexpr std::int32_t kNameValue = 0;             // command or reply name, Text
inline constexpr std::int32_t kPayloadValue = 1;          // argument or payload, Text
inline constexpr std::int32_t kArgumentOverrideValue = 2; // when present, the argument

// The join and leave messages.
inline constexpr std::int32_t kUserNameValue = 0;

// The upload commands "StartFile", "SendFile", "EndFile" and their reply
// "^GetFileChunk", which returns the request's values.
namespace UploadValue {
inline constexpr std::int32_t kChunk = 1;        // SendFile: Bytes
inline constexpr std::int32_t kChunkLength = 2;  // SendFile: FourByteB, bytes to write
inline constexpr std::int32_t kServerPath = 3;   // all: Text, the file on the server
inline constexpr std::int32_t kClientSize = 4;   // SendFile: Text, not used by the server
inline constexpr std::int32_t kReturnNumber = 5; // StartFile: FourByteB, returned as sent
inline constexpr std::int32_t kClientPath = 6;   // EndFile: Text, the file on the client
inline constexpr std::int32_t kCount = 7;
} // namespace UploadValue

// "^Image": the picture of a playlist entry's album.
namespace ImageValue {
inline constexpr std::int32_t kBytes = 1; // Bytes: the whole picture file
inline constexpr std::int32_t kSize = 2;  // FourByteB: its size in bytes
} // namespace ImageValue

// The test message (identifier 3) holds, in order: Bytes (up to 300), one
// value of each scalar code 0 to 9, Bytes (up to 80,000), Text.
inline constexpr std::uint32_t kBigMessageFirstBytes = 300;
inline constexpr std::uint32_t kBigMessageLastBytes = 80'000;

struct ValueTypeSpec {
    net::ValueType type;
    std::string_view name;
    int scalarBytes; // 0 for Text and Bytes
};

// The twelve value type codes, in code order.
inline constexpr ValueTypeSpec kValueTypes[] = {
    {net::ValueType::OneByteA, "OneByteA", 1},   {net::ValueType::OneByteB, "OneByteB", 1},
    {net::ValueType::TwoByteA, "TwoByteA", 2},   {net::ValueType::TwoByteB, "TwoByteB", 2},
    {net::ValueType::FourByteA, "FourByteA", 4}, {net::ValueType::FourByteB, "FourByteB", 4},
    {net::ValueType::FourByteC, "FourByteC", 4}, {net::ValueType::FourByteD, "FourByteD", 4},
    {net::ValueType::FourByteE, "FourByteE", 4}, {net::ValueType::EightByte, "EightByte", 8},
    {net::ValueType::Text, "Text", 0},           {net::ValueType::Bytes, "Bytes", 0},
};

// The name of a type code; nothing for codes 12 to 255.
[[nodiscard]] std::optional<std::string_view> valueTypeName(net::ValueType type) noexcept;
[[nodiscard]] std::optional<net::ValueType> findValueType(std::string_view name) noexcept;

} // namespace tembrel::protocol
