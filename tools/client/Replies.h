// Reading the server's replies: value 0 is the reply name ("^Status"), value 1
// the payload text; and the vocabulary the client sends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "net/CNDKMessage.h"

namespace tembrel::client {

// Application message identifiers.
inline constexpr std::int32_t kIdJoin = 0;
inline constexpr std::int32_t kIdLeave = 1;
inline constexpr std::int32_t kIdCommand = 2;

[[nodiscard]] std::string replyName(const net::CNDKMessage& message);
[[nodiscard]] std::string replyText(const net::CNDKMessage& message);

// A command message: id 2, value 0 the command, value 1 the argument when
// there is one.
[[nodiscard]] net::CNDKMessage commandMessage(std::string_view command,
                                              std::string_view argument = {});

// The protocol numbers the k-th listed artist, album or track (k from 0) as
// k + 2; the album number 1 stands for the artist's loose tracks.
inline constexpr int kFirstListedNumber = 2;
inline constexpr int kLooseTracksAlbumNumber = 1;
[[nodiscard]] constexpr int listedNumber(std::size_t index) noexcept {
    return static_cast<int>(index) + kFirstListedNumber;
}

} // namespace tembrel::client
