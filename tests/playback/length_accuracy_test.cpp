// Lengths against what decoding really gives: for every format the server
// plays, including VBR MP3 without a Xing header at MPEG-1, 2 and 2.5 rates,
// the length an information open reports (the playlist's) and the length of
// a playback stream (the status's) are within 0.1 s of the decoded duration.
#include <cstdio>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "playback/SystemSoundLibrary.h"
#include "support/AudioFixtures.h"
#include "system_library_support.h"

namespace tembrel::playback {
namespace {

constexpr int kToleranceMs = 100;

struct Case {
    const char* file;
    const char* encode; // ffmpeg output options
};

// Pink noise then silence: a VBR encoder's frame sizes swing widely, so a
// length estimated from the first frame is far off.
constexpr const char* kSource =
    "-f lavfi -i anoisesrc=d=4:c=pink:a=0.5 -f lavfi -i sine=f=440:d=4,volume=0 "
    "-filter_complex [0][1]concat=n=2:v=0:a=1";

constexpr Case kCases[] = {
    {"vbr-no-xing.mp3", "-c:a libmp3lame -q:a 2 -write_xing 0"},
    {"vbr-xing.mp3", "-c:a libmp3lame -q:a 2"},
    {"vbr-no-xing-22k.mp3", "-ar 22050 -c:a libmp3lame -q:a 4 -write_xing 0"},
    {"vbr-no-xing-8k.mp3", "-ar 8000 -c:a libmp3lame -q:a 6 -write_xing 0"},
    {"vbr-xing-8k.mp3", "-ar 8000 -c:a libmp3lame -q:a 6"},
    {"cbr.mp3", "-c:a libmp3lame -b:a 128k -write_xing 0"},
    {"asf.wma", "-c:a wmav2"},
    {"vorbis.ogg", "-c:a libvorbis"},
    {"opus.opus", "-c:a libopus"},
    {"flac.flac", "-c:a flac"},
    {"ogg-flac.oga", "-c:a flac -f ogg"},
    {"aac.m4a", "-c:a aac"},
    {"pcm.wav", "-c:a pcm_s16le"},
};

[[nodiscard]] std::string capture(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t got = 0;
        while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            out.append(buffer, got);
        }
        pclose(pipe);
    }
    return out;
}

// The duration decoding gives, from the count of decoded samples at the
// stream's own rate (ffprobe names the rate).
[[nodiscard]] int decodedMs(const std::string& file) {
    const int rate = std::atoi(capture("ffprobe -v error -select_streams a:0 -show_entries "
                                       "stream=sample_rate -of csv=p=0 '" +
                                       file + "'")
                                   .c_str());
    const std::string samples =
        capture("ffmpeg -v error -i '" + file + "' -f s16le -ac 1 -c:a pcm_s16le - | wc -c");
    return rate > 0 ? static_cast<int>(std::atoll(samples.c_str()) / 2 * 1000 / rate) : -1;
}

TEST(LengthAccuracy, PlaylistAndStatusLengthsMatchTheDecodedDuration) {
    test::TempDir dir;
    const auto library = test::startedSilentLibrary();
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.file);
        const std::string file = (dir.path() / c.file).string();
        const std::string make =
            std::string("ffmpeg -v error -y ") + kSource + " " + c.encode + " '" + file + "'";
        ASSERT_EQ(std::system(make.c_str()), 0) << make;
        const int decoded = decodedMs(file);
        ASSERT_GT(decoded, 7000);

        const StreamHandle info = library->openStream(file, OpenPurpose::InformationOnly);
        ASSERT_NE(info, kNoStream);
        const int infoMs = library->streamLengthMs(info);
        library->closeStream(info);
        const StreamHandle playback = library->openStream(file, OpenPurpose::Playback);
        ASSERT_NE(playback, kNoStream);
        const int playbackMs = library->streamLengthMs(playback);
        library->closeStream(playback);

        EXPECT_NEAR(infoMs, decoded, kToleranceMs);
        EXPECT_EQ(playbackMs, infoMs);
    }
}

} // namespace
} // namespace tembrel::playback
