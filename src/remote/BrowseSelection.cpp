// Bounds-checked resolution of browsing numbers to library slots.
#include "remote/BrowseSelection.h"

#include <limits>

namespace tembrel::remote {

namespace {

using library::CMediaLibrary;

// The first listed item is numbered 2.
constexpr int kFirstItemNumber = 2;

// A run that lies wholly inside a table of `capacity` slots, else nothing.
std::optional<SlotRun> inside(SlotRun run, int capacity) noexcept {
    if (run.first < 0 || run.count < 0 || run.first > capacity - run.count) {
        return std::nullopt;
    }
    return run;
}

} // namespace

int selectionFromNumber(int number) noexcept {
    return number == std::numeric_limits<int>::min() ? number : number - 1;
}

std::optional<int> slotForNumber(SlotRun run, int number) noexcept {
    if (number < kFirstItemNumber || number - kFirstItemNumber >= run.count) {
        return std::nullopt;
    }
    return run.first + (number - kFirstItemNumber);
}

bool isListedArtist(const CMediaLibrary& library, int artistSlot) noexcept {
    return artistSlot >= 1 && artistSlot < library.nextArtistSlot();
}

std::optional<SlotRun> albumsOf(const CMediaLibrary& library, int artistSlot) {
    if (!isListedArtist(library, artistSlot)) {
        return std::nullopt;
    }
    const auto& artist = library.artist(artistSlot);
    return inside({artist.firstAlbum, artist.albumCount}, library.albumSlotCount());
}

std::optional<SlotRun> looseTracksOf(const CMediaLibrary& library, int artistSlot) {
    if (!isListedArtist(library, artistSlot)) {
        return std::nullopt;
    }
    const auto& artist = library.artist(artistSlot);
    return inside({artist.firstLooseTrack, artist.looseTrackCount}, library.trackSlotCount());
}

std::optional<SlotRun> tracksOfChoice(const CMediaLibrary& library, int artistSlot,
                                      int albumChoice) {
    if (albumChoice == kLooseTracksChoice) {
        return looseTracksOf(library, artistSlot);
    }
    const auto albums = albumsOf(library, artistSlot);
    if (!albums || albumChoice < 1 || albumChoice > albums->count) {
        return std::nullopt;
    }
    const auto& album = library.album(albums->first + albumChoice - 1);
    return inside({album.firstTrack, album.trackCount}, library.trackSlotCount());
}

std::optional<std::string> selectedTrackPath(const CMediaLibrary& library, int artistSlot,
                                             int albumChoice, int number) {
    const auto tracks = tracksOfChoice(library, artistSlot, albumChoice);
    if (!tracks) {
        return std::nullopt;
    }
    const auto slot = slotForNumber(*tracks, number);
    if (!slot) {
        return std::nullopt;
    }
    const auto& artist = library.artist(artistSlot);
    std::string path = artist.location + '/' + artist.name + '/';
    if (albumChoice != kLooseTracksChoice) {
        path += library.album(artist.firstAlbum + albumChoice - 1).name + '/';
    }
    return path + library.track(*slot).fileName;
}

} // namespace tembrel::remote
