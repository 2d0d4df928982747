// Plays one audio file through the real sound library for a number of seconds
// and prints what was played and the library's own load figure. Used by
// playback_cpu.sh, which measures the whole process with /usr/bin/time.
//
//   bench_play_file FILE SECONDS [--audio null|auto|snapcast:PATH]
#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "playback/SystemSoundLibrary.h"

namespace {

using tembrel::playback::AudioOutput;
using tembrel::playback::kNoStream;
using tembrel::playback::OpenPurpose;

constexpr int kChannel = 1;
constexpr int kVolume = 128;
constexpr int kMaxSeconds = 3600;
constexpr std::string_view kSnapcastPrefix = "snapcast:";

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FILE SECONDS [--audio null|auto|snapcast:PATH]\n", argv[0]);
        return 2;
    }
    const std::string file = argv[1];
    const int seconds = std::atoi(argv[2]);
    if (seconds <= 0 || seconds > kMaxSeconds) {
        std::fprintf(stderr, "SECONDS must be 1 to %d\n", kMaxSeconds);
        return 2;
    }
    tembrel::playback::OutputSettings output{AudioOutput::Null, {}, 0};
    if (argc >= 5 && std::string_view(argv[3]) == "--audio") {
        const std::string_view choice = argv[4];
        if (choice == "auto") {
            output.output = AudioOutput::Auto;
        } else if (choice.starts_with(kSnapcastPrefix)) {
            output.output = AudioOutput::Snapcast;
            output.snapcastPipe = std::string(choice.substr(kSnapcastPrefix.size()));
        }
    }

    auto library = tembrel::playback::createSystemSoundLibrary(output, [](std::string_view line) {
        std::fprintf(stderr, "%.*s\n", int(line.size()), line.data());
    });
    // The same start as the sound engine's.
    if (!library->init(44100, 32, 0)) {
        std::fprintf(stderr, "init failed: error %d\n", library->lastError());
        return 1;
    }
    library->setStreamBufferSize(1000);
    library->setSpectrumActive(true);
    const auto stream = library->openStream(file, OpenPurpose::Playback);
    if (stream == kNoStream || library->playStream(kChannel, stream) != kChannel) {
        std::fprintf(stderr, "cannot play %s: error %d\n", file.c_str(), library->lastError());
        return 1;
    }
    static_cast<void>(library->setVolume(kChannel, kVolume));

    bool ended = false;
    library->setEndCallback(stream, [&] {
        ended = true;
        QCoreApplication::quit();
    });
    // Sample the smoothed load once a second, as the spectrum stream would.
    float load = 0.0f;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { load = library->cpuUsage(); });
    sampler.start(1000);
    QTimer::singleShot(seconds * 1000, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();

    std::printf("played_ms %d of %d, ended %s, library_cpu_percent %.3f\n",
                library->streamTime(stream), library->streamLengthMs(stream), ended ? "yes" : "no",
                static_cast<double>(load));
    library->close();
    return 0;
}
