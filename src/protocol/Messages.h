// Typed helpers that build and read the application's messages, so that no
// program spells a value index or a name by hand.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "net/CNDKMessage.h"
#include "protocol/Commands.h"
#include "protocol/MessageIds.h"
#include "protocol/Replies.h"
#include "protocol/ValueLayout.h"

namespace tembrel::protocol {

// A command message: identifier 2, value 0 the command, value 1 the argument
// when there is one.
[[nodiscard]] net::CNDKMessage commandMessage(Command command, std::string_view argument = {});
// The same with any text as the command, for tools that send what a user
// typed (the server ignores a text that names no command).
[[nodiscard]] net::CNDKMessage commandTextMessage(std::string_view commandText,
                                                  std::string_view argument = {});
// Join (identifier 0) and leave (identifier 1) messages carrying a user name.
[[nodiscard]] net::CNDKMessage joinMessage(std::string_view userName);
[[nodiscard]] net::CNDKMessage leaveMessage(std::string_view userName);
// A message built from scratch holding only a reply name ("^StartSpectrum").
[[nodiscard]] net::CNDKMessage noticeMessage(Reply reply);

// Value 0 as text (the command or reply name), and value 1 as text.
[[nodiscard]] std::string nameOf(const net::CNDKMessage& message);
[[nodiscard]] std::string payloadOf(const net::CNDKMessage& message);
// The reply a message carries; nothing when value 0 names none.
[[nodiscard]] std::optional<Reply> replyOf(const net::CNDKMessage& message);
[[nodiscard]] bool isReply(const net::CNDKMessage& message, Reply reply);
// The command argument: value 1 read as text, then value 2 over it when the
// message has one (a non-Text value 2 reads as empty text).
[[nodiscard]] std::string commandArgument(const net::CNDKMessage& message);

// The confirmation text of a queued track, and whether a "^Error" text is
// one (the reply carries refusals as well).
[[nodiscard]] std::string queuedConfirmation(std::string_view title);
[[nodiscard]] bool isQueuedConfirmation(std::string_view text) noexcept;

// Replies are built in a received message: value 0 becomes the name and,
// for the overload with a payload, value 1 the payload. Further values stay.
void putReply(net::CNDKMessage& message, Reply reply);
void putReply(net::CNDKMessage& message, Reply reply, std::string_view payload);

// Payload fields joined by backslashes, and split into `count` fields again:
// the last field follows the last separator, the first count - 2 are cut from
// the front, and the one before the last keeps any extra separators (a title
// may hold a backslash).
[[nodiscard]] std::string joinFields(std::span<const std::string_view> fields);
[[nodiscard]] std::vector<std::string> splitFields(std::string_view payload, std::size_t count);

// The upload values of "StartFile", "SendFile" and "EndFile" as the server
// reads them. Missing values read as empty or 0, as readValue leaves them.
struct UploadRequest {
    std::string serverPath;
    std::string clientPath;
    std::int32_t chunkLength = 0;
    std::int32_t returnNumber = 0;
    // The chunk bytes when value 1 is Bytes; empty otherwise. Points into the
    // message, so it lives as long as the message is unchanged.
    std::span<const std::uint8_t> chunk;
};
[[nodiscard]] UploadRequest readUpload(const net::CNDKMessage& message);

// An upload command as a client sends it: value 2 a FourByteB 0, value 3 the
// server-side path, value 5 the number the server returns. "SendFile" adds
// the chunk (value 1), its length (value 2) and an empty value 4; "EndFile"
// the client-side path (value 6).
[[nodiscard]] net::CNDKMessage uploadMessage(Command command, std::string_view serverPath,
                                             std::int32_t returnNumber);
void putChunk(net::CNDKMessage& message, std::span<const std::uint8_t> chunk);

// "^Image" with the picture bytes and their count.
[[nodiscard]] net::CNDKMessage imageMessage(std::span<const std::uint8_t> picture);
// The picture of an "^Image" message; nothing when the message is not one or
// its size value disagrees with the bytes.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> readImage(const net::CNDKMessage& message);

} // namespace tembrel::protocol
