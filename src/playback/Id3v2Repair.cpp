// Rewrites a v2.3 tag's header and body: extended header dropped, the
// unsynchronisation of the whole tag undone, both header flags cleared.
#include "playback/Id3v2Repair.h"

#include <cstdint>
#include <fstream>
#include <vector>

namespace tembrel::playback {

namespace {

constexpr std::size_t kHeaderBytes = 10;
constexpr unsigned char kMajorVersion3 = 3;
constexpr unsigned char kUnsynchronisationFlag = 0x80;
constexpr unsigned char kExtendedHeaderFlag = 0x40;
constexpr std::size_t kExtendedSizeBytes = 4;

[[nodiscard]] std::uint32_t synchsafe(const char* b) noexcept {
    const auto byte = [&](int i) {
        return static_cast<std::uint32_t>(b[i]) & 0x7FU;
    };
    return (byte(0) << 21) | (byte(1) << 14) | (byte(2) << 7) | byte(3);
}

void putSynchsafe(char* b, std::uint32_t value) noexcept {
    for (int i = 3; i >= 0; --i) {
        b[i] = static_cast<char>(value & 0x7FU);
        value >>= 7;
    }
}

// Every 0xFF 0x00 pair becomes 0xFF.
[[nodiscard]] std::vector<char> undoUnsynchronisation(const std::vector<char>& body) {
    std::vector<char> out;
    out.reserve(body.size());
    for (std::size_t i = 0; i < body.size(); ++i) {
        out.push_back(body[i]);
        if (static_cast<unsigned char>(body[i]) == 0xFF && i + 1 < body.size() &&
            body[i + 1] == 0) {
            ++i;
        }
    }
    return out;
}

} // namespace

std::optional<TagLib::ByteVector> repairedId3v23Tag(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char header[kHeaderBytes] = {};
    if (!in.read(header, kHeaderBytes) || header[0] != 'I' || header[1] != 'D' ||
        header[2] != '3' || static_cast<unsigned char>(header[3]) != kMajorVersion3 ||
        (static_cast<unsigned char>(header[5]) & kExtendedHeaderFlag) == 0) {
        return std::nullopt;
    }
    const std::uint32_t size = synchsafe(header + 6);
    // The tag must lie within the file before anything is allocated for it.
    in.seekg(0, std::ios::end);
    const std::streamoff fileBytes = in.tellg();
    if (fileBytes < 0 ||
        static_cast<std::uint64_t>(fileBytes) < kHeaderBytes + std::uint64_t{size}) {
        return std::nullopt;
    }
    in.seekg(static_cast<std::streamoff>(kHeaderBytes));
    std::vector<char> body(size);
    if (!in.read(body.data(), static_cast<std::streamsize>(size))) {
        return std::nullopt;
    }
    if ((static_cast<unsigned char>(header[5]) & kUnsynchronisationFlag) != 0) {
        body = undoUnsynchronisation(body);
    }
    if (body.size() < kExtendedSizeBytes) {
        return std::nullopt;
    }
    // In v2.3 the extended header's size is a plain number that leaves out
    // its own four bytes.
    const auto byte = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(body[i]));
    };
    const std::uint64_t extended =
        kExtendedSizeBytes + ((byte(0) << 24) | (byte(1) << 16) | (byte(2) << 8) | byte(3));
    if (extended > body.size()) {
        return std::nullopt;
    }
    const auto frames = static_cast<std::uint32_t>(body.size() - extended);
    header[5] = static_cast<char>(static_cast<unsigned char>(header[5]) &
                                  ~(kUnsynchronisationFlag | kExtendedHeaderFlag));
    putSynchsafe(header + 6, frames);
    TagLib::ByteVector tag(header, kHeaderBytes);
    tag.append(TagLib::ByteVector(body.data() + extended, frames));
    return tag;
}

} // namespace tembrel::playback
