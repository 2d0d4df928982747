// Opening an artist and an album on the server the way the browsing
// commands need it, with the user's names or numbers.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Commands.h"
#include "protocol/Commands.h"

namespace tembrel::client {

struct ArtistListing {
    std::string artist;
    std::vector<std::string> albums;
    std::vector<std::string> looseTracks;
};

struct AlbumListing {
    std::string album;
    std::vector<std::string> tracks;
};

// Sends `command` for the entry at `index` of a listing (numbered the
// protocol's way) and collects what it causes into `replies`. On failure
// returns the exit code (already reported).
[[nodiscard]] std::optional<int> requestListed(Context& context, protocol::Command command,
                                               std::size_t index,
                                               std::vector<net::CNDKMessage>& replies);

// Joins if needed, finds the artist and asks the server for its albums and
// loose tracks; this also makes it the session's selected artist. On failure
// returns the exit code (already reported).
[[nodiscard]] std::optional<int> openArtist(Context& context, std::string_view typed,
                                            ArtistListing& out);
// Opens an album of the artist opened last, making it the selected album.
[[nodiscard]] std::optional<int> openAlbum(Context& context, const ArtistListing& artist,
                                           std::string_view typed, AlbumListing& out);

} // namespace tembrel::client
