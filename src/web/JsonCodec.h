// The web remote's JSON form of protocol messages, one WebSocket text frame
// per message:
//   {"id": <int32>, "values": [{"type": NAME, "value": ...} |
//                              {"type": NAME, "base64": "..."}, ...]}
// The type names come from the protocol library's value-type table. The
// mapping is lossless both ways, and reading is strict: anything but exactly
// such a message, within the codec limits, is refused.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "net/CNDKArchive.h"
#include "net/CNDKMessage.h"

namespace tembrel::web {

// Values of type codes the table does not name (12-255, which only a TCP
// peer can send) travel under this prefix and their code ("Code200"), with
// the 8-byte slot as an EightByte.
inline constexpr std::string_view kUnnamedTypePrefix = "Code";

// Appends the JSON text (UTF-8) of `message` to `out`.
void encodeJson(const net::CNDKMessage& message, std::vector<std::uint8_t>& out);

// Reads one message from `json` (UTF-8) into `out`; false when the text is not
// exactly one message of the mapping or the message breaks `limits` (value
// count, encoded size on the wire). `out` is unspecified after a failure.
[[nodiscard]] bool decodeJson(std::string_view json, const net::CNDKArchive::Limits& limits,
                              net::CNDKMessage& out);

} // namespace tembrel::web
