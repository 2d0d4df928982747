#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tembrel::library {

struct ArtistRecord {
    std::string location; // the Location folder, without a trailing backslash
    std::string name;
    int firstAlbum = 0;
    int firstLooseTrack = 0;
    int albumCount = 0;
    int looseTrackCount = 0;
};

struct AlbumRecord {
    std::string name;
    int artistIndex = 0;
    int firstTrack = 0;
    int trackCount = 0;
};

struct TrackRecord {
    std::string fileName;
};

// The media library: fixed tables of artists, albums and tracks filled by
// scanning up to five Locations (artist / album / track folders).
class CMediaLibrary {
public:
    static constexpr int kMaxArtists = 2000;
    static constexpr int kMaxAlbums = 2000;
    static constexpr int kMaxTracks = 20000;
    static constexpr int kLocationCount = 5;
    using LogSink = std::function<void(std::string_view line)>;

    CMediaLibrary();
    ~CMediaLibrary();

    void setLogSink(LogSink sink) { log_ = std::move(sink); }

    void buildLibrary(const std::array<std::string, kLocationCount>& locations);
    void scanLocation(std::string path);
    void sortArtists();
    void scanArtist(int artistSlot, const std::string& artistName);
    void scanAlbum(int artistSlot, const std::string& artistName, int albumSlot,
                   const std::string& albumName);
    void reset();

    // Preconditions: slot within its table.
    [[nodiscard]] const ArtistRecord& artist(int slot) const { return tables_->artists.at(slot); }
    [[nodiscard]] const AlbumRecord& album(int slot) const { return tables_->albums.at(slot); }
    [[nodiscard]] const TrackRecord& track(int slot) const { return tables_->tracks.at(slot); }

    [[nodiscard]] int nextArtistSlot() const noexcept { return nextArtistSlot_; }
    [[nodiscard]] int nextAlbumSlot() const noexcept { return nextAlbumSlot_; }
    [[nodiscard]] int nextTrackSlot() const noexcept { return nextTrackSlot_; }
    [[nodiscard]] int artistTotal() const noexcept { return artistTotal_; }
    [[nodiscard]] int albumTotal() const noexcept { return albumTotal_; }
    [[nodiscard]] int trackTotal() const noexcept { return trackTotal_; }

private:
    struct Tables {
        std::array<ArtistRecord, kMaxArtists> artists{};
        std::array<AlbumRecord, kMaxAlbums> albums{};
        std::array<TrackRecord, kMaxTracks> tracks{};
    };

    void log(std::string_view line) const;
    // The `location` text of a Location path whose trailing backslash is gone.
    [[nodiscard]] static std::string locationText(std::string_view path);
    // Takes the audio files of `folder` into the track table from
    // nextTrackSlot_ on and leaves one empty slot after the run.
    void takeTracks(const std::string& folder, int& firstTrack, int& trackCount);

    std::unique_ptr<Tables> tables_;
    LogSink log_;
    int nextArtistSlot_ = 1;
    int nextAlbumSlot_ = 0;
    int nextTrackSlot_ = 0;
    int artistTotal_ = 0;
    int albumTotal_ = 0;
    int trackTotal_ = 0;
};

} // namespace tembrel::library
