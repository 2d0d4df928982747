#pragma once

#include <string>
#include <string_view>

#include "playback/SoundLibrary.h"

namespace tembrel::playback {

// Fills a playlist entry's names and length from the folder names of a path
// and the tags of a file.
class CTagReader {
public:
    static constexpr std::size_t kMaxFieldBytes = 1024;

    explicit CTagReader(SoundLibrary& library) noexcept : library_(library) {}

    // 0 on success, -1 when the file cannot be opened. Outputs are written
    // only when a value for them is found. Both '/' and '\' separate folders
    // in namePath.
    [[nodiscard]] int readTrackInfo(const std::string& openPath, const std::string& namePath,
                                    std::string& title, std::string& album, std::string& artist,
                                    std::string& length) const;

    // The names a path's folders give, as readTrackInfo takes them before it
    // opens the file: the file name without extension, the folder holding it
    // and the folder above. An output is written only when its name is found.
    static void readFallbackNames(std::string_view namePath, std::string& title, std::string& album,
                                  std::string& artist);

    // "3:05", "0:59", "60:00".
    [[nodiscard]] static std::string formatMinutesSeconds(int milliseconds);

private:
    SoundLibrary& library_;
};

} // namespace tembrel::playback
