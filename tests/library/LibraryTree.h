// Test helpers for the library scan: a folder tree built in a fresh temporary
// folder and removed afterwards, and a recorder for the scan's log lines.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "library/CMediaLibrary.h"

namespace tembrel::test {

class LibraryTree {
public:
    // Memory: /dev/shm where available, fast for large trees; it lists "."
    // and ".." first. Disk: the temporary folder, whose file system may list
    // entries in hash order, so an entry can come before "." and "..".
    enum class Storage { Memory, Disk };

    explicit LibraryTree(Storage storage = Storage::Memory);
    ~LibraryTree();
    LibraryTree(const LibraryTree&) = delete;
    LibraryTree& operator=(const LibraryTree&) = delete;

    // The absolute path of `relative` inside the tree, as text.
    [[nodiscard]] std::string path(std::string_view relative = {}) const;

    void folder(std::string_view relative) const;
    // An empty file; its folders are created as needed.
    void file(std::string_view relative) const;
    // `count` empty files named <prefix><number>.mp3 in `relative`.
    void audioFiles(std::string_view relative, std::string_view prefix, int count) const;
    void symlink(std::string_view target, std::string_view relativeLink) const;

    // Makes `relative` a folder holding one entry, a sub-folder or an empty
    // file named <something><suffix>, named so that the file system lists it
    // before "." and ".." (`listedFirst`) or after one of them. Returns the
    // entry's name, or an empty text when the file system never lists it so.
    [[nodiscard]] std::string singleEntryFolder(std::string_view relative, bool asFolder,
                                                std::string_view suffix, bool listedFirst) const;

private:
    std::filesystem::path root_;
};

// A library whose log lines are kept.
struct RecordingLibrary {
    RecordingLibrary();
    RecordingLibrary(const RecordingLibrary&) = delete;
    RecordingLibrary& operator=(const RecordingLibrary&) = delete;
    library::CMediaLibrary library;
    std::vector<std::string> logLines;
};

// The names of a run of track slots, sorted, for comparisons that must not
// depend on the order in which the file system lists a folder.
[[nodiscard]] std::vector<std::string> trackNames(const library::CMediaLibrary& library, int first,
                                                  int count);
[[nodiscard]] std::vector<std::string> albumNames(const library::CMediaLibrary& library, int first,
                                                  int count);

} // namespace tembrel::test
