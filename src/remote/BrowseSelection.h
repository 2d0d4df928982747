// Turns the numbers a browsing client sends back into library slots. Clients
// address the k-th listed item (k from 0) as k + 2; a number that addresses
// no listed item of the chosen artist or album resolves to nothing, so no
// command ever reads a neighbouring artist's slots or outside the tables.
#pragma once

#include <optional>
#include <string>

#include "library/CMediaLibrary.h"

namespace tembrel::remote {

// A run of consecutive table slots.
struct SlotRun {
    int first = 0;
    int count = 0;
};

// Album choice 0 is the artist's loose tracks; k >= 1 its k-th album.
inline constexpr int kLooseTracksChoice = 0;

// The selection a number stores, computed without overflow: number - 1.
[[nodiscard]] int selectionFromNumber(int number) noexcept;

// The slot of the k-th listed item of `run` for the client number k + 2.
[[nodiscard]] std::optional<int> slotForNumber(SlotRun run, int number) noexcept;

[[nodiscard]] bool isListedArtist(const library::CMediaLibrary& library, int artistSlot) noexcept;

// The artist's albums, loose tracks, and the tracks of an album choice; nothing
// when the artist is not listed or the choice addresses no album of it.
[[nodiscard]] std::optional<SlotRun> albumsOf(const library::CMediaLibrary& library,
                                              int artistSlot);
[[nodiscard]] std::optional<SlotRun> looseTracksOf(const library::CMediaLibrary& library,
                                                   int artistSlot);
[[nodiscard]] std::optional<SlotRun> tracksOfChoice(const library::CMediaLibrary& library,
                                                    int artistSlot, int albumChoice);

// The full path of the track the client number addresses in the selection:
// location/artist/album/file, or location/artist/file for loose tracks.
[[nodiscard]] std::optional<std::string> selectedTrackPath(const library::CMediaLibrary& library,
                                                           int artistSlot, int albumChoice,
                                                           int number);

} // namespace tembrel::remote
