// The media library scan: lists the Locations, their artist folders and their
// album folders into the artist, album and track tables.
#include "library/CMediaLibrary.h"

#include <algorithm>
#include <utility>

#include "library/ArtistOrder.h"
#include "library/FolderListing.h"

namespace tembrel::library {

namespace {

[[nodiscard]] std::string joinPath(std::string_view folder, std::string_view name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder).append(1, '/').append(name);
    return path;
}

// The `location` text of a Location path: trailing slashes are dropped to keep
// the track paths free of empty components; the root folder stays "/". A
// backslash is an ordinary character of a name here.
[[nodiscard]] std::string locationText(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    return std::string(path);
}

template <class Records>
void shrink(Records& records) {
    records.shrink_to_fit();
}

// "1 artist", "3 albums".
[[nodiscard]] std::string counted(int count, std::string_view noun) {
    return std::to_string(count) + ' ' + std::string(noun) + (count == 1 ? "" : "s");
}

} // namespace

CMediaLibrary::CMediaLibrary() {
    reset();
}

void CMediaLibrary::log(std::string_view line) const {
    if (log_) {
        log_(line);
    }
}

void CMediaLibrary::buildLibrary(const Locations& locations) {
    log("Get Artists");
    for (const std::string& location : locations) {
        if (!location.empty() && !stopped()) {
            scanLocation(location);
        }
    }
    log("OK");
    sortArtists();
    log("Get Albums");
    for (int slot = 1; slot < nextArtistSlot() && !stopped(); ++slot) {
        scanArtist(slot, artists_[index(slot)].name);
    }
    log("OK");
    // Growth by doubling leaves up to half of each table unused.
    shrink(artists_);
    shrink(albums_);
    shrink(tracks_);
    // Last: a scan on a worker hands the library over right after it, so
    // whoever reads the totals finds the library they describe.
    logLocationReports();
}

void CMediaLibrary::scanLocation(std::string path) {
    log(path);
    // The logged search pattern keeps the form users know from the log.
    log(path + "\\\\*.*");

    LocationReport& report = reports_.emplace_back();
    report.path = path;
    report.problem = locationProblem(path);
    const int reportIndex = count(reports_) - 1;
    const std::string location = locationText(path);
    const FolderEntries entries = readFolder(
        path, [](std::string_view) { return false; }, false);
    // The folders come in name order; the artist sort that follows decides.
    for (const std::string& name : entries.folders) {
        ArtistRecord& artist = artists_.emplace_back();
        artist.name = name;
        artist.location = location;
        artist.locationIndex = reportIndex;
        ++artistTotal_;
        ++report.artists;
        log(artist.name + ' ' + std::to_string(nextArtistSlot() - 1));
    }
}

void CMediaLibrary::sortArtists() {
    if (nextArtistSlot() <= 2) {
        return;
    }
    // Slot 0 is never an artist and stays where it is. The scan has not yet
    // filled the other fields, so whole records move.
    std::stable_sort(artists_.begin() + 1, artists_.end(),
                     [](const ArtistRecord& a, const ArtistRecord& b) {
                         return artistNameBefore(a.name, b.name);
                     });
}

void CMediaLibrary::scanArtist(int artistSlot, const std::string& artistName) {
    if (artistSlot < 1 || artistSlot >= nextArtistSlot()) {
        return;
    }
    const std::string folder = joinPath(artists_[index(artistSlot)].location, artistName);
    const FolderEntries entries = readFolder(
        folder, [this](std::string_view name) { return formats_.matches(name); }, true);

    artists_[index(artistSlot)].firstAlbum = nextAlbumSlot();
    for (const std::string& name : entries.folders) {
        if (stopped()) {
            break;
        }
        const int albumSlot = nextAlbumSlot();
        AlbumRecord& album = albums_.emplace_back();
        album.name = name;
        album.artistIndex = artistSlot;
        ++artists_[index(artistSlot)].albumCount;
        ++albumTotal_;
        scanAlbum(artistSlot, artistName, albumSlot, name);
    }
    albums_.emplace_back(); // the empty slot that ends the run

    ArtistRecord& artist = artists_[index(artistSlot)];
    takeTracks(entries.tracks, artist.firstLooseTrack, artist.looseTrackCount);
    if (artist.locationIndex >= 0 && artist.locationIndex < count(reports_)) {
        LocationReport& report = reports_[index(artist.locationIndex)];
        report.albums += artist.albumCount;
        report.tracks += artist.looseTrackCount;
    }
}

void CMediaLibrary::scanAlbum(int artistSlot, const std::string& artistName, int albumSlot,
                              const std::string& albumName) {
    if (artistSlot < 1 || artistSlot >= nextArtistSlot() || albumSlot < 0 ||
        albumSlot >= nextAlbumSlot()) {
        return;
    }
    const std::string folder =
        joinPath(joinPath(artists_[index(artistSlot)].location, artistName), albumName);
    const FolderEntries entries = readFolder(
        folder, [this](std::string_view name) { return formats_.matches(name); }, true);
    AlbumRecord& album = albums_[index(albumSlot)];
    takeTracks(entries.tracks, album.firstTrack, album.trackCount);
    const int reportIndex = artists_[index(artistSlot)].locationIndex;
    if (reportIndex >= 0 && reportIndex < count(reports_)) {
        reports_[index(reportIndex)].tracks += album.trackCount;
    }
}

void CMediaLibrary::takeTracks(const std::vector<std::string>& names, int& firstTrack,
                               int& trackCount) {
    firstTrack = nextTrackSlot();
    for (const std::string& name : names) {
        tracks_.push_back(TrackRecord{name});
    }
    trackCount = count(names);
    trackTotal_ += trackCount;
    tracks_.emplace_back(); // the empty slot that ends the run
}

void CMediaLibrary::logLocationReports() {
    for (const LocationReport& report : reports_) {
        std::string problem = report.problem;
        if (problem.empty() && report.artists == 0) {
            problem = "empty";
        }
        if (!problem.empty()) {
            log("Location " + report.path + ": nothing found (" + problem + ")");
            continue;
        }
        log("Location " + report.path + ": " + counted(report.artists, "artist") + ", " +
            counted(report.albums, "album") + ", " + counted(report.tracks, "track"));
    }
    reports_.clear();
}

void CMediaLibrary::reset() {
    artists_.assign(1, ArtistRecord{});
    albums_.clear();
    tracks_.clear();
    reports_.clear();
    artistTotal_ = 0;
    albumTotal_ = 0;
    trackTotal_ = 0;
}

void CMediaLibrary::replaceContents(CMediaLibrary&& scanned) noexcept {
    artists_.swap(scanned.artists_);
    albums_.swap(scanned.albums_);
    tracks_.swap(scanned.tracks_);
    artistTotal_ = scanned.artistTotal_;
    albumTotal_ = scanned.albumTotal_;
    trackTotal_ = scanned.trackTotal_;
}

} // namespace tembrel::library
