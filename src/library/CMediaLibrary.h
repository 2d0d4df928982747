#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "library/AudioFormats.h"

namespace tembrel::library {

struct ArtistRecord {
    std::string location; // the Location folder, without a trailing '/'
    std::string name;
    int firstAlbum = 0;
    int firstLooseTrack = 0;
    int albumCount = 0;
    int looseTrackCount = 0;
    int locationIndex = 0; // which of the five Locations it was found in
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

// The media library: tables of artists, albums and tracks filled by scanning
// up to five Locations (artist / album / track folders). The tables grow with
// the library; slot numbering keeps its layout (artist slot 0 is never an
// artist, and one empty slot follows every run of albums or tracks), so the
// numbers clients see are those of the fixed-table layout.
class CMediaLibrary {
public:
    static constexpr int kLocationCount = 5;
    using LogSink = std::function<void(std::string_view line)>;
    using Locations = std::array<std::string, kLocationCount>;

    CMediaLibrary();

    void setLogSink(LogSink sink) { log_ = std::move(sink); }
    void setFormats(AudioFormats formats) { formats_ = std::move(formats); }
    [[nodiscard]] const AudioFormats& formats() const noexcept { return formats_; }
    // While *stop holds, a running scan ends at the next folder. Not owned.
    void setStopFlag(const std::atomic<bool>* stop) noexcept { stop_ = stop; }

    void buildLibrary(const Locations& locations);
    void scanLocation(std::string path);
    void sortArtists();
    void scanArtist(int artistSlot, const std::string& artistName);
    void scanAlbum(int artistSlot, const std::string& artistName, int albumSlot,
                   const std::string& albumName);
    void reset();
    // Takes the tables and counters of `scanned`; the log sink, formats and
    // stop flag stay this library's own.
    void replaceContents(CMediaLibrary&& scanned) noexcept;

    // Preconditions: slot below the matching slot count.
    [[nodiscard]] const ArtistRecord& artist(int slot) const { return artists_.at(index(slot)); }
    [[nodiscard]] const AlbumRecord& album(int slot) const { return albums_.at(index(slot)); }
    [[nodiscard]] const TrackRecord& track(int slot) const { return tracks_.at(index(slot)); }

    // Slots that exist: artist slots 0 to artistSlotCount() - 1, and so on.
    [[nodiscard]] int artistSlotCount() const noexcept { return count(artists_); }
    [[nodiscard]] int albumSlotCount() const noexcept { return count(albums_); }
    [[nodiscard]] int trackSlotCount() const noexcept { return count(tracks_); }

    [[nodiscard]] int nextArtistSlot() const noexcept { return count(artists_); }
    [[nodiscard]] int nextAlbumSlot() const noexcept { return count(albums_); }
    [[nodiscard]] int nextTrackSlot() const noexcept { return count(tracks_); }
    [[nodiscard]] int artistTotal() const noexcept { return artistTotal_; }
    [[nodiscard]] int albumTotal() const noexcept { return albumTotal_; }
    [[nodiscard]] int trackTotal() const noexcept { return trackTotal_; }

private:
    // What one Location gave, for its line in the log.
    struct LocationReport {
        std::string path;
        std::string problem; // why nothing was found there; empty when listed
        int artists = 0;
        int albums = 0;
        int tracks = 0;
    };

    template <class Records>
    [[nodiscard]] static int count(const Records& records) noexcept {
        return static_cast<int>(records.size());
    }
    [[nodiscard]] static std::size_t index(int slot) noexcept {
        return slot < 0 ? SIZE_MAX : static_cast<std::size_t>(slot);
    }
    [[nodiscard]] bool stopped() const noexcept {
        return stop_ != nullptr && stop_->load(std::memory_order_relaxed);
    }
    void log(std::string_view line) const;
    void logLocationReports();
    // Takes `names` (already in order) into the track table from the next
    // slot on and leaves one empty slot after the run.
    void takeTracks(const std::vector<std::string>& names, int& firstTrack, int& trackCount);

    std::vector<ArtistRecord> artists_;
    std::vector<AlbumRecord> albums_;
    std::vector<TrackRecord> tracks_;
    std::vector<LocationReport> reports_;
    LogSink log_;
    AudioFormats formats_;
    const std::atomic<bool>* stop_ = nullptr;
    int artistTotal_ = 0;
    int albumTotal_ = 0;
    int trackTotal_ = 0;
};

} // namespace tembrel::library
