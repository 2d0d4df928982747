// The "Search" command's work: the artists, albums and tracks of the whole
// library whose names contain a text, case-insensitively, as the reply's
// payload (format in docs/web-remote.md):
//   SHOWN\FURTHER
//   artist\A\ARTIST
//   album\A\B\ARTIST\ALBUM
//   track\A\B\T\ARTIST\ALBUM\TRACK
// with the numbers a client sends to GetAlbums (A), GetAlbumTracks (B)
// and PlayAlbumTrack (T).
#pragma once

#include <string>
#include <string_view>

#include "library/CMediaLibrary.h"

namespace tembrel::remote {

// Most matches one reply lists; the first line counts the rest.
inline constexpr int kMaxSearchResults = 100;

[[nodiscard]] std::string searchLibrary(const library::CMediaLibrary& library,
                                        std::string_view text, int maxResults = kMaxSearchResults);

} // namespace tembrel::remote
