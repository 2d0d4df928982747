// MPEG audio frame headers: the Xing/Info/VBRI frame count and the frame walk.
#include "playback/Mp3Length.h"
#include "playback/ReadDeadline.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <vector>

namespace tembrel::playback {

namespace {

constexpr std::size_t kWindowBytes = std::size_t{256} << 10;
// How far past the tags the first frame may lie, and how far a damaged
// stretch is searched for the next frame before the walk ends.
constexpr std::int64_t kMaxSyncSearch = std::int64_t{1} << 20;
constexpr std::int64_t kMaxResyncSearch = std::int64_t{64} << 10;
constexpr std::size_t kId3v2HeaderBytes = 10;
constexpr std::size_t kId3v2FooterBytes = 10;
constexpr int kMsPerSecond = 1000;

// Reads a file through a sliding window: the frame walk only moves forward.
class WindowedFile {
public:
    explicit WindowedFile(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY)) {}
    ~WindowedFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    WindowedFile(const WindowedFile&) = delete;
    WindowedFile& operator=(const WindowedFile&) = delete;

    [[nodiscard]] bool isOpen() const noexcept { return fd_ >= 0; }

    // `count` bytes at `offset`, or nullptr when the file ends before them.
    [[nodiscard]] const unsigned char* at(std::int64_t offset, std::size_t count) {
        if (offset < start_ || offset + static_cast<std::int64_t>(count) >
                                   start_ + static_cast<std::int64_t>(window_.size())) {
            fill(offset);
        }
        if (offset + static_cast<std::int64_t>(count) >
            start_ + static_cast<std::int64_t>(window_.size())) {
            return nullptr;
        }
        return window_.data() + (offset - start_);
    }

private:
    void fill(std::int64_t offset) {
        if (ReadDeadline::passed()) {
            window_.clear(); // reads as the end of the file
            start_ = offset;
            return;
        }
        window_.resize(kWindowBytes);
        std::size_t got = 0;
        while (got < kWindowBytes) {
            const ssize_t n = ::pread(fd_, window_.data() + got, kWindowBytes - got,
                                      static_cast<off_t>(offset) + static_cast<off_t>(got));
            if (n <= 0) {
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        window_.resize(got);
        start_ = offset;
    }

    int fd_;
    std::int64_t start_ = 0;
    std::vector<unsigned char> window_;
};

struct FrameHeader {
    bool mpeg1 = false;
    bool mono = false;
    int sampleRate = 0;
    int samples = 0;
    int bytes = 0;
};

[[nodiscard]] std::optional<FrameHeader> parseHeader(const unsigned char* b) noexcept {
    // Bit rates in kbit/s by [MPEG-1?][layer 1..3][index].
    static constexpr std::array<std::array<std::array<int, 16>, 3>, 2> kBitrates = {{
        {{{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
          {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
          {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}},
        {{{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
          {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
          {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}}},
    }};
    static constexpr std::array<int, 3> kMpeg1Rates = {44100, 48000, 32000};
    if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) {
        return std::nullopt;
    }
    const int versionBits = (b[1] >> 3) & 0x3; // 0: 2.5, 2: 2, 3: 1
    const int layerBits = (b[1] >> 1) & 0x3;   // 1: III, 2: II, 3: I
    const int bitrateIndex = b[2] >> 4;
    const int rateIndex = (b[2] >> 2) & 0x3;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 ||
        rateIndex == 3) {
        return std::nullopt; // reserved values, or a free-format bit rate
    }
    FrameHeader header;
    header.mpeg1 = versionBits == 3;
    const int layer = 4 - layerBits;
    const int divisor = versionBits == 3 ? 1 : (versionBits == 2 ? 2 : 4);
    header.sampleRate = kMpeg1Rates[static_cast<std::size_t>(rateIndex)] / divisor;
    header.mono = (b[3] >> 6) == 3;
    const int bitrate = kBitrates[header.mpeg1 ? 1 : 0][static_cast<std::size_t>(layer - 1)]
                                 [static_cast<std::size_t>(bitrateIndex)] *
                        kMsPerSecond;
    const int padding = (b[2] >> 1) & 0x1;
    if (layer == 1) {
        header.samples = 384;
        header.bytes = (12 * bitrate / header.sampleRate + padding) * 4;
    } else {
        const bool halfFrame = layer == 3 && !header.mpeg1;
        header.samples = halfFrame ? 576 : 1152;
        header.bytes = (halfFrame ? 72 : 144) * bitrate / header.sampleRate + padding;
    }
    return header;
}

[[nodiscard]] std::uint32_t bigEndian32(const unsigned char* b) noexcept {
    return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) |
           b[3];
}

// Where the audio begins: after every ID3v2 tag at the front of the file.
[[nodiscard]] std::int64_t skipId3v2(WindowedFile& file) {
    std::int64_t offset = 0;
    while (const unsigned char* b = file.at(offset, kId3v2HeaderBytes)) {
        if (std::memcmp(b, "ID3", 3) != 0) {
            break;
        }
        const std::int64_t size = (std::int64_t{b[6] & 0x7F} << 21) |
                                  (std::int64_t{b[7] & 0x7F} << 14) |
                                  (std::int64_t{b[8] & 0x7F} << 7) | std::int64_t{b[9] & 0x7F};
        const bool footer = (b[5] & 0x10) != 0;
        offset += static_cast<std::int64_t>(kId3v2HeaderBytes) + size +
                  (footer ? static_cast<std::int64_t>(kId3v2FooterBytes) : 0);
    }
    return offset;
}

// A header at `offset` that the next frame confirms (or that ends the file).
[[nodiscard]] std::optional<FrameHeader> confirmedHeader(WindowedFile& file, std::int64_t offset) {
    const unsigned char* b = file.at(offset, 4);
    if (b == nullptr) {
        return std::nullopt;
    }
    const auto header = parseHeader(b);
    if (!header) {
        return std::nullopt;
    }
    const unsigned char* next = file.at(offset + header->bytes, 4);
    if (next == nullptr) {
        return header;
    }
    const auto following = parseHeader(next);
    if (!following || following->sampleRate != header->sampleRate) {
        return std::nullopt;
    }
    return header;
}

[[nodiscard]] std::optional<std::int64_t> findFrame(WindowedFile& file, std::int64_t from,
                                                    std::int64_t range) {
    for (std::int64_t offset = from; offset < from + range; ++offset) {
        const unsigned char* b = file.at(offset, 2);
        if (b == nullptr) {
            return std::nullopt;
        }
        if (b[0] == 0xFF && (b[1] & 0xE0) == 0xE0 && confirmedHeader(file, offset)) {
            return offset;
        }
    }
    return std::nullopt;
}

// The frame count of a Xing/Info or VBRI header in the first frame, with the
// encoder delay and padding of a LAME tag taken off, as decoders do.
[[nodiscard]] std::optional<std::int64_t> headerSamples(WindowedFile& file, std::int64_t frame,
                                                        const FrameHeader& header) {
    constexpr std::uint32_t kFramesFlag = 0x1;
    constexpr std::uint32_t kBytesFlag = 0x2;
    constexpr std::uint32_t kTocFlag = 0x4;
    constexpr std::uint32_t kQualityFlag = 0x8;
    constexpr std::int64_t kTocBytes = 100;
    constexpr std::int64_t kLameDelayOffset = 21;
    constexpr std::int64_t kVbriOffset = 36;
    constexpr std::int64_t kVbriFramesOffset = 14;
    const std::int64_t sideInfo = header.mpeg1 ? (header.mono ? 17 : 32) : (header.mono ? 9 : 17);
    const std::int64_t xing = frame + 4 + sideInfo;
    if (const unsigned char* b = file.at(xing, 8);
        b != nullptr && (std::memcmp(b, "Xing", 4) == 0 || std::memcmp(b, "Info", 4) == 0)) {
        const std::uint32_t flags = bigEndian32(b + 4);
        const unsigned char* count = file.at(xing + 8, 4);
        if ((flags & kFramesFlag) == 0 || count == nullptr) {
            return std::nullopt;
        }
        std::int64_t samples = std::int64_t{bigEndian32(count)} * header.samples;
        std::int64_t lame = xing + 12 + ((flags & kBytesFlag) != 0 ? 4 : 0) +
                            ((flags & kTocFlag) != 0 ? kTocBytes : 0) +
                            ((flags & kQualityFlag) != 0 ? 4 : 0);
        const unsigned char* tag = file.at(lame, kLameDelayOffset + 3);
        if (tag != nullptr &&
            (std::memcmp(tag, "LAME", 4) == 0 || std::memcmp(tag, "Lavf", 4) == 0 ||
             std::memcmp(tag, "Lavc", 4) == 0)) {
            const unsigned char* d = tag + kLameDelayOffset;
            const int delay = (d[0] << 4) | (d[1] >> 4);
            const int padding = ((d[1] & 0x0F) << 8) | d[2];
            samples = std::max<std::int64_t>(samples - delay - padding, 0);
        }
        return samples;
    }
    if (const unsigned char* b = file.at(frame + kVbriOffset, kVbriFramesOffset + 4);
        b != nullptr && std::memcmp(b, "VBRI", 4) == 0) {
        return std::int64_t{bigEndian32(b + kVbriFramesOffset)} * header.samples;
    }
    return std::nullopt;
}

} // namespace

int Mp3Length::milliseconds() const noexcept {
    if (sampleRate <= 0) {
        return 0;
    }
    const std::int64_t ms = samples * kMsPerSecond / sampleRate;
    return ms > INT32_MAX ? INT32_MAX : static_cast<int>(ms);
}

std::optional<Mp3Length> measureMp3Length(const std::string& path) {
    WindowedFile file(path);
    if (!file.isOpen()) {
        return std::nullopt;
    }
    const auto first = findFrame(file, skipId3v2(file), kMaxSyncSearch);
    if (!first) {
        return std::nullopt;
    }
    const FrameHeader header = *parseHeader(file.at(*first, 4));
    Mp3Length length{0, header.sampleRate, false};
    if (const auto samples = headerSamples(file, *first, header)) {
        length.samples = *samples;
        length.fromHeader = true;
        return length;
    }
    // No frame count: walk every frame header. A damaged stretch is skipped
    // when a confirmed frame follows it closely; tags at the end stop the walk.
    std::int64_t offset = *first;
    while (true) {
        const unsigned char* b = file.at(offset, 4);
        if (b == nullptr) {
            break;
        }
        const auto frame = parseHeader(b);
        if (!frame || frame->sampleRate != header.sampleRate) {
            const auto next = findFrame(file, offset + 1, kMaxResyncSearch);
            if (!next) {
                break;
            }
            offset = *next;
            continue;
        }
        length.samples += frame->samples;
        offset += frame->bytes;
    }
    return length;
}

} // namespace tembrel::playback
