#pragma once

// The four texts the tag reader fills, preset to markers so a test sees
// which ones it wrote.

#include <string>

namespace tembrel::playback {

struct TrackNames {
    std::string title = "(title)";
    std::string album = "(album)";
    std::string artist = "(artist)";
    std::string length = "(length)";
};

} // namespace tembrel::playback
