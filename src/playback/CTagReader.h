#pragma once

#include <string>
#include <string_view>

#include "playback/SoundLibrary.h"

namespace tembrel::playback {

// What separates folders in a name path: a path on this machine uses '/'
// only; a path a client sends may come from a system that uses '\'.
enum class PathSeparators { SlashOnly, SlashOrBackslash };

// Fills a playlist entry's names and length from the folder names of a path
// and the tags of a file.
class CTagReader {
public:
    static constexpr std::size_t kMaxFieldBytes = 1024;

    explicit CTagReader(SoundLibrary& library) noexcept : library_(library) {}

    // 0 on success, -1 when the file cannot be opened. Outputs are written
    // only when a value for them is found. When namePath is openPath it is a
    // path on this machine and only '/' separates its folders; any other name
    // path (a client's) is split on both '/' and '\'.
    [[nodiscard]] int readTrackInfo(const std::string& openPath, const std::string& namePath,
                                    std::string& title, std::string& album, std::string& artist,
                                    std::string& length) const;

    // The names a path's folders give, as readTrackInfo takes them before it
    // opens the file: the file name without extension, the folder holding it
    // and the folder above. An output is written only when its name is found.
    static void readFallbackNames(std::string_view namePath, std::string& title, std::string& album,
                                  std::string& artist,
                                  PathSeparators separators = PathSeparators::SlashOrBackslash);

    // "3:05", "0:59", "60:00".
    [[nodiscard]] static std::string formatMinutesSeconds(int milliseconds);

private:
    SoundLibrary& library_;
};

} // namespace tembrel::playback
