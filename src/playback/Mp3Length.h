// The length of an MPEG audio file (Layer I, II or III) measured from its
// headers, never by decoding: the frame count of a Xing/Info or VBRI header
// when there is one (less the encoder delay and padding a LAME tag names),
// otherwise the frame headers are walked from the first to the last.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tembrel::playback {

struct Mp3Length {
    std::int64_t samples = 0;
    int sampleRate = 0;
    bool fromHeader = false; // a Xing/Info or VBRI header gave the frame count

    [[nodiscard]] int milliseconds() const noexcept;
};

// Nothing when the file holds no run of MPEG audio frames that can be walked
// (not MPEG audio, free-format bitrate, unreadable).
[[nodiscard]] std::optional<Mp3Length> measureMp3Length(const std::string& path);

} // namespace tembrel::playback
