// The command vocabulary a client sends in value 0 of a command message
// (identifier 2), in the order the server compares a received text with it.
// The table is data a program can walk: the server dispatches on it, clients
// build their messages from it and the web bridge lists it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "protocol/Replies.h"

namespace tembrel::protocol {

enum class Command : std::uint8_t {
    GetInfo,
    Play,
    SetTime,
    Pause,
    Stop,
    SendFile,
    StartFile,
    EndFile,
    SeekForward, // "Next": 2 s forward within the track
    GetDetail,
    Repeat,
    Shuffle,
    SeekBack,      // "Prev": 2 s back within the track
    PreviousTrack, // "Start"
    NextTrack,     // "End"
    PlayTrack,
    PlayAlbumTrack,
    GetAlbums,
    GetAlbumTracks,
    VolumeUp,   // "Up"
    VolumeDown, // "Down"
    Mute,
    Search, // the library's names containing a text; answers only the sender
};

// What a command's argument is. The argument travels as text in value 1, or
// in value 2 when the message has one (value 2 wins).
enum class Argument : std::uint8_t {
    None,
    SliderPosition, // 0 to kSeekSliderEnd, a fraction of the track
    PlaylistNumber, // 1-based playlist position
    ListedNumber,   // a number as the listings give it (k + 2)
    UploadValues,   // the upload values, see UploadValue
    Text,           // free text
};

struct CommandSpec {
    Command command;
    std::string_view name;
    Argument argument;
    // The replies the command itself sends (the status broadcast follows
    // every command and is not listed).
    std::span<const Reply> replies;
};

namespace detail {
inline constexpr Reply kChunkReplies[] = {Reply::GetFileChunk};
inline constexpr Reply kQueueReplies[] = {Reply::AddTrack, Reply::Error};
inline constexpr Reply kDetailReplies[] = {Reply::Image, Reply::NoImage};
inline constexpr Reply kRepeatReplies[] = {Reply::RepeatOn, Reply::RepeatOff};
inline constexpr Reply kShuffleReplies[] = {Reply::ShuffleOn, Reply::ShuffleOff};
inline constexpr Reply kAlbumsReplies[] = {Reply::AddAlbum, Reply::AddAlbumTracks, Reply::Error};
inline constexpr Reply kTracksReplies[] = {Reply::AddAlbumTracks, Reply::Error};
inline constexpr Reply kSearchReplies[] = {Reply::Search};
} // namespace detail

// In the order of comparison, which is the order of the enum.
inline constexpr CommandSpec kCommands[] = {
    {Command::GetInfo, "GetInfo", Argument::None, kStatusReplies},
    {Command::Play, "Play", Argument::None, {}},
    {Command::SetTime, "SetTime", Argument::SliderPosition, {}},
    {Command::Pause, "Pause", Argument::None, {}},
    {Command::Stop, "Stop", Argument::None, {}},
    {Command::SendFile, "SendFile", Argument::UploadValues, detail::kChunkReplies},
    {Command::StartFile, "StartFile", Argument::UploadValues, detail::kChunkReplies},
    {Command::EndFile, "EndFile", Argument::UploadValues, detail::kQueueReplies},
    {Command::SeekForward, "Next", Argument::None, {}},
    {Command::GetDetail, "GetDetail", Argument::PlaylistNumber, detail::kDetailReplies},
    {Command::Repeat, "Repeat", Argument::None, detail::kRepeatReplies},
    {Command::Shuffle, "Shuffle", Argument::None, detail::kShuffleReplies},
    {Command::SeekBack, "Prev", Argument::None, {}},
    {Command::PreviousTrack, "Start", Argument::None, {}},
    {Command::NextTrack, "End", Argument::None, {}},
    {Command::PlayTrack, "PlayTrack", Argument::PlaylistNumber, {}},
    {Command::PlayAlbumTrack, "PlayAlbumTrack", Argument::ListedNumber, detail::kQueueReplies},
    {Command::GetAlbums, "GetAlbums", Argument::ListedNumber, detail::kAlbumsReplies},
    {Command::GetAlbumTracks, "GetAlbumTracks", Argument::ListedNumber, detail::kTracksReplies},
    {Command::VolumeUp, "Up", Argument::None, {}},
    {Command::VolumeDown, "Down", Argument::None, {}},
    {Command::Mute, "Mute", Argument::None, {}},
    {Command::Search, "Search", Argument::Text, detail::kSearchReplies},
};

inline constexpr std::size_t kCommandCount = std::size(kCommands);

[[nodiscard]] constexpr const CommandSpec& commandSpec(Command command) noexcept {
    return kCommands[static_cast<std::size_t>(command)];
}
[[nodiscard]] constexpr std::string_view commandName(Command command) noexcept {
    return commandSpec(command).name;
}
// Exact, case-sensitive lookup in the order of comparison; nothing for a text
// that is not a command.
[[nodiscard]] std::optional<Command> findCommand(std::string_view name) noexcept;

} // namespace tembrel::protocol
