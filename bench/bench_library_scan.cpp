// Library scan speed: buildLibrary over a generated tree of 1,000 artists x 20
// albums x 10 tracks (200,000 empty *.mp3 files) on the local disk with a warm
// cache, against `find LOCATION -name '*.mp3' | wc -l` over the same tree,
// and the heap the library keeps per track beyond the track's name.
// The tree lives in TEMBREL_BENCH_DIR (default /var/tmp/tembrel-bench-library-200k)
// and is kept between runs.
#include <malloc.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "library/CMediaLibrary.h"

namespace {

namespace fs = std::filesystem;
using tembrel::library::CMediaLibrary;

constexpr int kArtists = 1000;
constexpr int kAlbumsPerArtist = 20;
constexpr int kTracksPerAlbum = 10;
constexpr int kTotalTracks = kArtists * kAlbumsPerArtist * kTracksPerAlbum;
constexpr int kManyAlbums = 200;
constexpr long kTmpfsMagic = 0x01021994;

fs::path benchRoot() {
    const char* configured = std::getenv("TEMBREL_BENCH_DIR");
    return configured != nullptr ? fs::path(configured)
                                 : fs::path("/var/tmp/tembrel-bench-library-200k");
}

std::string twoDigits(int n) {
    return (n < 10 ? "0" : "") + std::to_string(n);
}

// Builds the tree once; a marker file says it is complete.
fs::path ensureTree() {
    const fs::path root = benchRoot();
    const fs::path location = root / "Music";
    const fs::path marker = root / "complete-200k";
    if (fs::exists(marker)) {
        return location;
    }
    fs::remove_all(location);
    for (int artist = 0; artist < kArtists; ++artist) {
        const fs::path artistFolder = location / ("Artist " + std::to_string(1000 + artist));
        for (int album = 0; album < kAlbumsPerArtist; ++album) {
            const fs::path albumFolder = artistFolder / ("Album " + twoDigits(album));
            fs::create_directories(albumFolder);
            for (int track = 0; track < kTracksPerAlbum; ++track) {
                std::ofstream(albumFolder / (twoDigits(track + 1) + " - Track.mp3")).close();
            }
        }
    }
    // One more artist with 200 empty albums, for the time its album list
    // takes to reach a client (bench_library_browse).
    for (int album = 0; album < kManyAlbums; ++album) {
        fs::create_directories(location / "Many Albums" /
                               ("Album " + std::to_string(1000 + album)));
    }
    std::ofstream(marker).close();
    return location;
}

double& bytesPerTrack() {
    static double value = 0;
    return value;
}

const fs::path& location() {
    static const fs::path path = ensureTree();
    return path;
}

void BM_BuildLibrary(benchmark::State& state) {
    CMediaLibrary library;
    const std::array<std::string, CMediaLibrary::kLocationCount> locations{location().string()};
    for (auto _ : state) {
        state.PauseTiming();
        library.reset();
        state.ResumeTiming();
        library.buildLibrary(locations);
    }
    if (library.trackTotal() != kTotalTracks) {
        state.SkipWithError("the scan did not find every track");
    }
    state.counters["artists"] = library.artistTotal();
    state.counters["albums"] = library.albumTotal();
    state.counters["tracks"] = library.trackTotal();
}
BENCHMARK(BM_BuildLibrary)->Unit(benchmark::kMillisecond)->UseRealTime();

// Heap the library holds after a scan, less the bytes of the track names
// themselves, per track.
void BM_MemoryPerTrack(benchmark::State& state) {
    const std::array<std::string, CMediaLibrary::kLocationCount> locations{location().string()};
    double perTrack = 0;
    for (auto _ : state) {
        const std::size_t before = mallinfo2().uordblks;
        auto library = std::make_unique<CMediaLibrary>();
        library->buildLibrary(locations);
        const std::size_t after = mallinfo2().uordblks;
        std::size_t nameBytes = 0;
        for (int slot = 0; slot < library->trackSlotCount(); ++slot) {
            nameBytes += library->track(slot).fileName.size();
        }
        perTrack = (static_cast<double>(after - before) - static_cast<double>(nameBytes)) /
                   library->trackTotal();
    }
    state.counters["bytes_per_track"] = perTrack;
    bytesPerTrack() = perTrack;
}
BENCHMARK(BM_MemoryPerTrack)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_FindMp3(benchmark::State& state) {
    const std::string command = "find '" + location().string() + "' -name '*.mp3' | wc -l";
    long found = 0;
    for (auto _ : state) {
        const std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
        if (!pipe || std::fscanf(pipe.get(), "%ld", &found) != 1) {
            state.SkipWithError("find could not be run");
            return;
        }
    }
    if (found != kTotalTracks) {
        state.SkipWithError("find did not count every track");
    }
}
BENCHMARK(BM_FindMp3)->Unit(benchmark::kMillisecond)->UseRealTime();

// Prints the usual table, then the scan time as a multiple of find's.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) != 0 ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (!run.error_occurred && run.run_type == Run::RT_Iteration) {
                realTimes_[run.run_name.function_name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto scan = realTimes_.find("BM_BuildLibrary");
        const auto find = realTimes_.find("BM_FindMp3");
        if (scan != realTimes_.end() && find != realTimes_.end() && find->second > 0) {
            std::cout << "buildLibrary " << scan->second << " ms, find " << find->second
                      << " ms, ratio " << scan->second / find->second << " (target <= 1.5)\n";
        }
        std::cout << "memory per track beyond its name: " << bytesPerTrack()
                  << " bytes (target < 150)\n";
    }

private:
    std::map<std::string, double> realTimes_;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::cout << "tree: " << location() << " (" << kTotalTracks << " tracks)\n";
    struct statfs info {};
    if (statfs(location().c_str(), &info) == 0 && info.f_type == kTmpfsMagic) {
        std::cout << "note: the tree is on tmpfs, not on a local disk\n";
    }
    // Warm the cache before anything is timed.
    CMediaLibrary warm;
    warm.buildLibrary({location().string()});
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
