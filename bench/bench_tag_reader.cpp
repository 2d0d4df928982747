// Time to read the names and length of one tagged MP3 through the tag reader
// and the real sound library, over 1000 files in a warm cache; and the length
// of a 30-minute VBR MP3 without a Xing header: how long measuring it takes
// and how far it is from the duration decoding gives.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "playback/CTagReader.h"
#include "playback/SystemSoundLibrary.h"

namespace {

namespace fs = std::filesystem;
using tembrel::playback::AudioOutput;
using tembrel::playback::CTagReader;
using tembrel::playback::SoundLibrary;

constexpr int kFileCount = 1000;

// 1000 copies of one small tagged MP3, laid out as Artist/Album/NNN Track.mp3,
// removed when the program ends.
class Corpus {
public:
    Corpus() {
        std::string pattern = (fs::temp_directory_path() / "tembrel-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            return;
        }
        root_ = pattern;
        const fs::path album = root_ / "Some Artist" / "Some Album";
        fs::create_directories(album);
        const fs::path master = root_ / "master.mp3";
        const std::string command = "ffmpeg -nostdin -loglevel error -y -f lavfi -i "
                                    "sine=frequency=440:duration=3 "
                                    "-ac 2 -ar 44100 -c:a libmp3lame -b:a 128k -id3v2_version 3 "
                                    "-write_id3v1 1 "
                                    "-metadata title='Bench Title' -metadata artist='Bench Artist' "
                                    "-metadata album='Bench Album' '" +
                                    master.string() + "'";
        if (std::system(command.c_str()) != 0) {
            return;
        }
        for (int i = 0; i < kFileCount; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "%03d Track.mp3", i);
            files_.push_back((album / name).string());
            fs::copy_file(master, files_.back());
        }
    }
    ~Corpus() {
        if (!root_.empty()) {
            std::error_code ignored;
            fs::remove_all(root_, ignored);
        }
    }
    Corpus(const Corpus&) = delete;
    Corpus& operator=(const Corpus&) = delete;

    [[nodiscard]] const std::vector<std::string>& files() const noexcept { return files_; }

private:
    fs::path root_;
    std::vector<std::string> files_;
};

struct Rig {
    Corpus corpus;
    std::unique_ptr<SoundLibrary> library =
        tembrel::playback::createSystemSoundLibrary(AudioOutput::Null);
    CTagReader reader{*library};

    Rig() { (void)library->init(44100, 32, 0); }
    ~Rig() { library->close(); }

    [[nodiscard]] bool read(const std::string& file) const {
        std::string title, album, artist, length;
        return reader.readTrackInfo(file, file, title, album, artist, length) == 0 &&
               title == "Bench Title" && length == "0:03";
    }
};

Rig& rig() {
    static Rig instance;
    return instance;
}

// One file per iteration, cycling through the corpus.
void BM_ReadTrackInfo(benchmark::State& state) {
    const auto& files = rig().corpus.files();
    if (files.size() != kFileCount) {
        state.SkipWithError("could not generate the MP3 files (ffmpeg missing?)");
        return;
    }
    for (const auto& file : files) { // warm the page cache and the library
        if (!rig().read(file)) {
            state.SkipWithError("tag reader did not read the generated file");
            return;
        }
    }
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(rig().read(files[next]));
        next = (next + 1) % files.size();
    }
    // The median over the 1000 files, each read once and timed on its own.
    std::vector<double> micros;
    micros.reserve(files.size());
    for (const auto& file : files) {
        const auto begin = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(rig().read(file));
        micros.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - begin)
                .count());
    }
    std::nth_element(micros.begin(), micros.begin() + micros.size() / 2, micros.end());
    state.counters["median_us_per_file"] = micros[micros.size() / 2];
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadTrackInfo)->Iterations(kFileCount)->Unit(benchmark::kMicrosecond);

// 30 minutes of pink noise broken by silence every 10 s, so the VBR frame
// sizes swing widely; no Xing header, so the frames must be walked.
constexpr int kLongSeconds = 1800;

std::string longVbrFile() {
    static const std::string path = [] {
        const fs::path file = fs::temp_directory_path() / "tembrel-bench-vbr-30min.mp3";
        if (fs::exists(file)) {
            return file.string();
        }
        const std::string command =
            "ffmpeg -nostdin -loglevel error -y -f lavfi -i anoisesrc=d=" +
            std::to_string(kLongSeconds) +
            ":c=pink:a=0.5 -af \"volume='if(lt(mod(t,20),10),1,0)':eval=frame\" "
            "-c:a libmp3lame -q:a 2 -write_xing 0 -id3v2_version 3 -f mp3 '" +
            file.string() + ".part' && mv '" + file.string() + ".part' '" + file.string() + "'";
        return std::system(command.c_str()) == 0 ? file.string() : std::string();
    }();
    return path;
}

// Milliseconds that decoding the whole file gives (ffmpeg, at 44.1 kHz).
double decodedMs(const std::string& file) {
    const std::string command =
        "ffmpeg -nostdin -v error -i '" + file + "' -f s16le -ac 1 -ar 44100 - | wc -c";
    const std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    long long bytes = 0;
    if (!pipe || std::fscanf(pipe.get(), "%lld", &bytes) != 1) {
        return -1;
    }
    return static_cast<double>(bytes) / 2 / 44.1;
}

void BM_LengthOfLongVbrWithoutXing(benchmark::State& state) {
    const std::string file = longVbrFile();
    if (file.empty()) {
        state.SkipWithError("could not generate the 30-minute file");
        return;
    }
    SoundLibrary& library = *rig().library;
    int lengthMs = 0;
    for (auto _ : state) {
        const auto stream =
            library.openStream(file, tembrel::playback::OpenPurpose::InformationOnly);
        lengthMs = library.streamLengthMs(stream);
        library.closeStream(stream);
    }
    const double decoded = decodedMs(file);
    state.counters["length_ms"] = lengthMs;
    state.counters["decoded_ms"] = decoded;
    state.counters["error_ms"] = lengthMs - decoded;
}
BENCHMARK(BM_LengthOfLongVbrWithoutXing)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

BENCHMARK_MAIN();
