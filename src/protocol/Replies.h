// Every reply the server sends: value 0 is the name (always beginning with
// "^"), value 1 the payload. The table is data a program can walk (the web
// bridge maps it to JSON).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace tembrel::protocol {

enum class Reply : std::uint8_t {
    AddAlbum,
    AddAlbumTracks,
    AddArtist,
    AddTrack,
    CurrentTrackInfo,
    Elapsed,
    Error,
    GetFileChunk,
    Image,
    LengthS,
    NoImage,
    NumAlbums,
    NumArtists,
    NumTracks,
    RepeatOff,
    RepeatOn,
    Search,
    ShuffleOff,
    ShuffleOn,
    Spectrum,
    StartSpectrum,
    StopSpectrum,
    Status,
    TimeS,
    TotalTracks,
    TrackName,
    TrackNo,
    Volume,
};

// What value 1 (and further values) of a reply hold.
enum class Payload : std::uint8_t {
    None,          // only value 0 (value 1 may hold leftovers, never meaningful)
    Text,          // value 1: free text
    Number,        // value 1: a decimal number as text
    Fields,        // value 1: fields joined by backslashes (see ReplySpec::fields)
    UploadValues,  // the upload request's values, returned (see UploadValue)
    Picture,       // value 1 Bytes, value 2 FourByteB size (see ImageValue)
    SearchResults, // value 1: lines of matches (see remote/LibrarySearch.h)
};

struct ReplySpec {
    Reply reply;
    std::string_view name;
    Payload payload;
    // For Payload::Fields, the field names in order; for Spectrum, the bands.
    std::span<const std::string_view> fields;
};

// The first character of every reply name; a join message another user sent
// carries a user name in its place.
inline constexpr char kReplyPrefix = '^';

// The separator of the fields inside one payload.
inline constexpr char kFieldSeparator = '\\';

namespace detail {
inline constexpr std::string_view kTrackFields[] = {"artist", "title", "length"};
inline constexpr std::string_view kCurrentTrackFields[] = {"title", "album", "artist"};
inline constexpr std::string_view kBandFields[] = {"b0",  "b1",  "b2",  "b3", "b4",  "b5",
                                                   "b6",  "b7",  "b8",  "b9", "b10", "b11",
                                                   "b12", "b13", "b14", "b15"};
} // namespace detail

// In the order of the enum (alphabetical by name).
inline constexpr ReplySpec kReplies[] = {
    {Reply::AddAlbum, "^AddAlbum", Payload::Text, {}},
    {Reply::AddAlbumTracks, "^AddAlbumTracks", Payload::Text, {}},
    {Reply::AddArtist, "^AddArtist", Payload::Text, {}},
    {Reply::AddTrack, "^AddTrack", Payload::Fields, detail::kTrackFields},
    {Reply::CurrentTrackInfo, "^CurrentTrackInfo", Payload::Fields, detail::kCurrentTrackFields},
    {Reply::Elapsed, "^Elapsed", Payload::Text, {}},
    {Reply::Error, "^Error", Payload::Text, {}},
    {Reply::GetFileChunk, "^GetFileChunk", Payload::UploadValues, {}},
    {Reply::Image, "^Image", Payload::Picture, {}},
    {Reply::LengthS, "^LengthS", Payload::Number, {}},
    {Reply::NoImage, "^NoImage", Payload::Text, {}},
    {Reply::NumAlbums, "^NumAlbums", Payload::Number, {}},
    {Reply::NumArtists, "^NumArtists", Payload::Number, {}},
    {Reply::NumTracks, "^NumTracks", Payload::Number, {}},
    {Reply::RepeatOff, "^RepeatOff", Payload::None, {}},
    {Reply::RepeatOn, "^RepeatOn", Payload::None, {}},
    {Reply::Search, "^Search", Payload::SearchResults, {}},
    {Reply::ShuffleOff, "^ShuffleOff", Payload::None, {}},
    {Reply::ShuffleOn, "^ShuffleOn", Payload::None, {}},
    {Reply::Spectrum, "^Spectrum", Payload::Fields, detail::kBandFields},
    {Reply::StartSpectrum, "^StartSpectrum", Payload::None, {}},
    {Reply::StopSpectrum, "^StopSpectrum", Payload::None, {}},
    {Reply::Status, "^Status", Payload::Text, {}},
    {Reply::TimeS, "^TimeS", Payload::Number, {}},
    {Reply::TotalTracks, "^TotalTracks", Payload::Number, {}},
    {Reply::TrackName, "^TrackName", Payload::Text, {}},
    {Reply::TrackNo, "^TrackNo", Payload::Number, {}},
    {Reply::Volume, "^Volume", Payload::Number, {}},
};

[[nodiscard]] constexpr const ReplySpec& replySpec(Reply reply) noexcept {
    return kReplies[static_cast<std::size_t>(reply)];
}
[[nodiscard]] constexpr std::string_view replyName(Reply reply) noexcept {
    return replySpec(reply).name;
}
// The reply a name denotes; nothing for any other text.
[[nodiscard]] std::optional<Reply> findReply(std::string_view name) noexcept;

// The status broadcast, in the order of sending. CurrentTrackInfo and
// TrackName are alternatives (a playlist with entries or an empty one), and
// TimeS and LengthS follow Elapsed only while a position is known.
inline constexpr Reply kStatusReplies[] = {
    Reply::CurrentTrackInfo, Reply::TrackName, Reply::TrackNo, Reply::Status,  Reply::Volume,
    Reply::NumTracks,        Reply::Elapsed,   Reply::TimeS,   Reply::LengthS,
};
// Texts the status broadcast uses.
inline constexpr std::string_view kEmptyPlaylistText = "Playlist is empty";
inline constexpr std::string_view kNoElapsedText = "-:--";
inline constexpr std::string_view kNoTrackNumberText = "0";
// The confirmation "^Error" carries when a track joined the playlist: the
// prefix, the track's title, the suffix.
inline constexpr std::string_view kQueuedPrefix = "Track [";
inline constexpr std::string_view kQueuedSuffix = "] Added to playlist";
// The play states "^Status" carries.
inline constexpr std::string_view kStoppedText = "Stopped";
inline constexpr std::string_view kPlayingText = "Playing";
inline constexpr std::string_view kPausedText = "Paused";

} // namespace tembrel::protocol
