// The media library scan: lists the Locations, their artist folders and their
// album folders into the fixed artist, album and track tables.
#include "library/CMediaLibrary.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "library/ArtistOrder.h"
#include "library/FolderListing.h"

namespace tembrel::library {

namespace {

// Visits the entries of `folder` in listing order. The first entry is always
// visited; a further entry is read only while `more()` holds, which is how a
// filling table stops the scan: a listing goes on only while at least two
// slots are free, so the last slot can only be taken by a first entry and no
// listing ever writes past its table.
template <class Visit, class More>
void forEachEntry(const std::string& folder, Visit visit, More more) {
    FolderListing listing(folder);
    if (!listing.next()) {
        return;
    }
    do {
        visit(listing);
    } while (more() && listing.next());
}

[[nodiscard]] bool hasRoomForMore(int runningSlot, int tableSize) noexcept {
    return runningSlot < tableSize - 1;
}

// Audio files are told by the last three characters of their name, lower case
// only: "song.mp3" and "clip.wma" are taken, "SONG.MP3" is not.
[[nodiscard]] bool isAudioName(std::string_view name) noexcept {
    constexpr std::size_t kSuffixLength = 3;
    if (name.size() < kSuffixLength) {
        return false;
    }
    const std::string_view suffix = name.substr(name.size() - kSuffixLength);
    return suffix == "mp3" || suffix == "wma";
}

[[nodiscard]] std::string joinPath(std::string_view folder, std::string_view name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder).append(1, '/').append(name);
    return path;
}

} // namespace

CMediaLibrary::CMediaLibrary() : tables_(std::make_unique<Tables>()) {}

CMediaLibrary::~CMediaLibrary() = default;

void CMediaLibrary::log(std::string_view line) const {
    if (log_) {
        log_(line);
    }
}

void CMediaLibrary::buildLibrary(const std::array<std::string, kLocationCount>& locations) {
    log("Get Artists");
    for (const std::string& location : locations) {
        if (!location.empty()) {
            scanLocation(location);
        }
    }
    log("OK");
    sortArtists();
    log("Get Albums");
    for (int slot = 1; slot < nextArtistSlot_; ++slot) {
        scanArtist(slot, tables_->artists.at(slot).name);
    }
    log("OK");
}

void CMediaLibrary::scanLocation(std::string path) {
    if (nextArtistSlot_ >= kMaxArtists) {
        return;
    }
    log(path);
    // The logged search pattern keeps the form users know from the log: a path
    // ending in a backslash gets "*.*" added and loses that backslash; any
    // other path gets two backslashes and "*.*".
    std::string pattern;
    if (!path.empty() && path.back() == '\\') {
        pattern = path + "*.*";
        path.pop_back();
    } else {
        pattern = path + "\\\\*.*";
    }
    log(pattern);

    const std::string location = locationText(path);
    forEachEntry(
        path,
        [&](const FolderListing& entry) {
            if (isDotEntry(entry.name()) || entry.kind() != EntryKind::Folder) {
                return;
            }
            ArtistRecord& artist = tables_->artists.at(nextArtistSlot_);
            artist.name = entry.name();
            artist.location = location;
            artist.albumCount = 0;
            artist.looseTrackCount = 0;
            ++artistTotal_;
            log(artist.name + ' ' + std::to_string(nextArtistSlot_));
            ++nextArtistSlot_;
        },
        [&] { return hasRoomForMore(nextArtistSlot_, kMaxArtists); });
}

std::string CMediaLibrary::locationText(std::string_view path) {
    // Folders are joined with '/', so trailing slashes are dropped to keep the
    // track paths free of empty components; the root folder stays "/".
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    return std::string(path);
}

void CMediaLibrary::sortArtists() {
    if (nextArtistSlot_ <= 2) {
        return;
    }
    // Only the two texts of each slot take part; the other fields stay where
    // they are. Slot 0 is never an artist and stays empty.
    std::vector<std::pair<std::string, std::string>> texts; // name, location
    texts.reserve(static_cast<std::size_t>(nextArtistSlot_ - 1));
    for (int slot = 1; slot < nextArtistSlot_; ++slot) {
        ArtistRecord& artist = tables_->artists.at(slot);
        texts.emplace_back(std::move(artist.name), std::move(artist.location));
    }
    std::stable_sort(texts.begin(), texts.end(), [](const auto& a, const auto& b) {
        return artistNameBefore(a.first, b.first);
    });
    for (int slot = 1; slot < nextArtistSlot_; ++slot) {
        auto& [name, location] = texts[static_cast<std::size_t>(slot - 1)];
        ArtistRecord& artist = tables_->artists.at(slot);
        artist.name = std::move(name);
        artist.location = std::move(location);
    }
}

void CMediaLibrary::scanArtist(int artistSlot, const std::string& artistName) {
    if (artistSlot < 0 || artistSlot >= kMaxArtists || nextAlbumSlot_ >= kMaxAlbums) {
        return;
    }
    ArtistRecord& artist = tables_->artists.at(artistSlot);
    artist.firstAlbum = nextAlbumSlot_;
    const std::string folder = joinPath(artist.location, artistName);

    int slot = nextAlbumSlot_;
    forEachEntry(
        folder,
        [&](const FolderListing& entry) {
            if (isDotEntry(entry.name()) || entry.kind() != EntryKind::Folder) {
                return;
            }
            AlbumRecord& album = tables_->albums.at(slot);
            album.name = entry.name();
            album.artistIndex = artistSlot;
            album.trackCount = 0;
            ++artist.albumCount;
            ++albumTotal_;
            scanAlbum(artistSlot, artistName, slot, album.name);
            ++slot;
        },
        [&] { return hasRoomForMore(slot, kMaxAlbums); });
    nextAlbumSlot_ = slot + 1;

    takeTracks(folder, artist.firstLooseTrack, artist.looseTrackCount);
}

void CMediaLibrary::scanAlbum(int artistSlot, const std::string& artistName, int albumSlot,
                              const std::string& albumName) {
    if (artistSlot < 0 || artistSlot >= kMaxArtists || albumSlot < 0 || albumSlot >= kMaxAlbums) {
        return;
    }
    const ArtistRecord& artist = tables_->artists.at(artistSlot);
    AlbumRecord& album = tables_->albums.at(albumSlot);
    takeTracks(joinPath(joinPath(artist.location, artistName), albumName), album.firstTrack,
               album.trackCount);
}

void CMediaLibrary::takeTracks(const std::string& folder, int& firstTrack, int& trackCount) {
    if (nextTrackSlot_ >= kMaxTracks) {
        return;
    }
    firstTrack = nextTrackSlot_;
    int slot = nextTrackSlot_;
    forEachEntry(
        folder,
        [&](const FolderListing& entry) {
            // The name test comes first so that only audio names can cost a stat.
            if (!isAudioName(entry.name()) || entry.kind() != EntryKind::File) {
                return;
            }
            tables_->tracks.at(slot).fileName = entry.name();
            ++trackCount;
            ++trackTotal_;
            ++slot;
        },
        [&] { return hasRoomForMore(slot, kMaxTracks); });
    nextTrackSlot_ = slot + 1;
}

void CMediaLibrary::reset() {
    for (ArtistRecord& artist : tables_->artists) {
        artist = ArtistRecord{};
    }
    for (AlbumRecord& album : tables_->albums) {
        album = AlbumRecord{};
    }
    for (TrackRecord& track : tables_->tracks) {
        track = TrackRecord{};
    }
    nextArtistSlot_ = 1;
    nextAlbumSlot_ = 0;
    nextTrackSlot_ = 0;
    artistTotal_ = 0;
    albumTotal_ = 0;
    trackTotal_ = 0;
}

} // namespace tembrel::library
