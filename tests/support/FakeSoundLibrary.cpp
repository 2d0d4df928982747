// The scripted sound library: registered files, streams on a virtual clock,
// a log of calls.
#include "support/FakeSoundLibrary.h"

#include <algorithm>
#include <climits>

namespace tembrel::test {

using playback::OpenPurpose;
using playback::StreamHandle;

FakeSoundLibrary::File& FakeSoundLibrary::addFile(const std::string& path, int lengthMs,
                                                  std::vector<playback::TagField> tags) {
    File& file = files_[path];
    file = File{};
    file.lengthMs = lengthMs;
    file.tags = std::move(tags);
    return file;
}

int FakeSoundLibrary::openStreamCount(OpenPurpose purpose) const noexcept {
    return static_cast<int>(
        std::count_if(streams_.begin(), streams_.end(),
                      [purpose](const auto& s) { return s.second.purpose == purpose; }));
}

const FakeSoundLibrary::Stream* FakeSoundLibrary::findStream(StreamHandle handle) const {
    const auto it = streams_.find(handle);
    return it == streams_.end() ? nullptr : &it->second;
}

FakeSoundLibrary::Stream* FakeSoundLibrary::stream(StreamHandle handle) {
    const auto it = streams_.find(handle);
    if (it == streams_.end()) {
        lastError_ = playback::kErrInvalidParam;
        return nullptr;
    }
    return &it->second;
}

const FakeSoundLibrary::File* FakeSoundLibrary::fileOf(StreamHandle handle) const {
    const Stream* open = findStream(handle);
    if (open == nullptr) {
        lastError_ = playback::kErrInvalidParam;
        return nullptr;
    }
    const auto it = files_.find(open->path);
    return it == files_.end() ? nullptr : &it->second;
}

std::string FakeSoundLibrary::playingPath() const {
    for (auto it = streams_.rbegin(); it != streams_.rend(); ++it) {
        if (it->second.playing) {
            return it->second.path;
        }
    }
    return {};
}

int FakeSoundLibrary::channelVolume(int channel) const {
    const auto it = channelVolumes_.find(channel);
    return it == channelVolumes_.end() ? -1 : it->second;
}

void FakeSoundLibrary::advance(int milliseconds) {
    int remaining = std::max(milliseconds, 0);
    for (int ends = 0; ends < kMaxEndsPerAdvance; ++ends) {
        int step = INT_MAX;
        for (const auto& [handle, open] : streams_) {
            if (open.playing) {
                step = std::min(step, std::max(open.lengthMs - open.positionMs, 0));
            }
        }
        if (step == INT_MAX || step > remaining) {
            step = remaining;
        }
        std::vector<StreamHandle> finished;
        for (auto& [handle, open] : streams_) {
            if (!open.playing) {
                continue;
            }
            open.positionMs += step;
            if (open.positionMs >= open.lengthMs) {
                open.positionMs = open.lengthMs;
                open.playing = false;
                if (!open.ended) {
                    open.ended = true;
                    finished.push_back(handle);
                }
            }
        }
        remaining -= step;
        for (const StreamHandle handle : finished) {
            // The callback may close this stream, so it runs from a copy.
            const auto it = streams_.find(handle);
            if (it != streams_.end() && it->second.endCallback) {
                const std::function<void()> callback = it->second.endCallback;
                callback();
            }
        }
        if (finished.empty() && remaining == 0) {
            return;
        }
    }
}

float FakeSoundLibrary::version() const {
    log("version");
    return version_;
}

bool FakeSoundLibrary::init(int mixRate, int maxChannels, unsigned flags) {
    log("init " + std::to_string(mixRate) + " " + std::to_string(maxChannels) + " " +
        std::to_string(flags));
    if (initError_ != playback::kErrNone) {
        lastError_ = initError_;
        initialized_ = false;
        return false;
    }
    initialized_ = true;
    return true;
}

void FakeSoundLibrary::close() {
    log("close");
    initialized_ = false;
    spectrumActive_ = false;
}

void FakeSoundLibrary::setStreamBufferSize(int milliseconds) {
    log("setStreamBufferSize " + std::to_string(milliseconds));
}

void FakeSoundLibrary::setSpectrumActive(bool active) {
    log(std::string("setSpectrumActive ") + (active ? "1" : "0"));
    spectrumActive_ = active;
}

StreamHandle FakeSoundLibrary::openStream(const std::string& path, OpenPurpose purpose) {
    log("open " + path + (purpose == OpenPurpose::Playback ? " playback" : " info"));
    if (purpose == OpenPurpose::Playback && !initialized_) {
        lastError_ = playback::kErrUninitialized;
        return playback::kNoStream;
    }
    const auto it = files_.find(path);
    if (it == files_.end()) {
        lastError_ = playback::kErrFileNotFound;
        return playback::kNoStream;
    }
    if (it->second.openError != playback::kErrNone) {
        lastError_ = it->second.openError;
        return playback::kNoStream;
    }
    const StreamHandle handle = nextHandle_++;
    Stream& opened = streams_[handle];
    opened.path = path;
    opened.purpose = purpose;
    opened.lengthMs = it->second.lengthMs;
    return handle;
}

void FakeSoundLibrary::setEndCallback(StreamHandle handle, std::function<void()> callback) {
    log("setEndCallback " + std::to_string(handle));
    if (Stream* open = stream(handle)) {
        open->endCallback = std::move(callback);
    }
}

int FakeSoundLibrary::playStream(int channel, StreamHandle handle) {
    log("play " + std::to_string(channel) + " " + std::to_string(handle));
    Stream* open = stream(handle);
    if (open == nullptr) {
        return -1;
    }
    if (const File* file = fileOf(handle);
        file != nullptr && file->playError != playback::kErrNone) {
        lastError_ = file->playError;
        return -1;
    }
    open->playing = !open->ended;
    return channel;
}

bool FakeSoundLibrary::stopStream(StreamHandle handle) {
    log("stop " + std::to_string(handle));
    Stream* open = stream(handle);
    if (open == nullptr) {
        return false;
    }
    open->playing = false;
    return true;
}

bool FakeSoundLibrary::closeStream(StreamHandle handle) {
    log("closeStream " + std::to_string(handle));
    if (streams_.erase(handle) == 0) {
        lastError_ = playback::kErrInvalidParam;
        return false;
    }
    return true;
}

bool FakeSoundLibrary::setVolume(int channel, int volume) {
    log("setVolume " + std::to_string(channel) + " " + std::to_string(volume));
    channelVolumes_[channel] = volume;
    return true;
}

int FakeSoundLibrary::streamTime(StreamHandle handle) const {
    const Stream* open = findStream(handle);
    return open == nullptr ? 0 : open->positionMs;
}

bool FakeSoundLibrary::setStreamTime(StreamHandle handle, int milliseconds) {
    log("setTime " + std::to_string(handle) + " " + std::to_string(milliseconds));
    Stream* open = stream(handle);
    if (open == nullptr) {
        return false;
    }
    open->positionMs = std::clamp(milliseconds, 0, open->lengthMs);
    return true;
}

int FakeSoundLibrary::streamLengthMs(StreamHandle handle) const {
    const Stream* open = findStream(handle);
    return open == nullptr ? 0 : open->lengthMs;
}

std::optional<std::string> FakeSoundLibrary::findTagField(StreamHandle handle, int type,
                                                          std::string_view name) const {
    const File* file = fileOf(handle);
    if (file == nullptr) {
        return std::nullopt;
    }
    for (const playback::TagField& field : file->tags) {
        if (field.type == type && field.name == name) {
            return field.value;
        }
    }
    return std::nullopt;
}

std::optional<int> FakeSoundLibrary::tagFieldCount(StreamHandle handle) const {
    const File* file = fileOf(handle);
    if (file == nullptr || file->tagCountUnavailable) {
        return std::nullopt;
    }
    return static_cast<int>(file->tags.size());
}

std::optional<playback::TagField> FakeSoundLibrary::tagField(StreamHandle handle, int index) const {
    const File* file = fileOf(handle);
    if (file == nullptr || index < 0 || static_cast<std::size_t>(index) >= file->tags.size()) {
        return std::nullopt;
    }
    return file->tags[static_cast<std::size_t>(index)];
}

bool FakeSoundLibrary::readSpectrum(playback::Spectrum& out) const {
    if (!initialized_ || !spectrumActive_) {
        return false;
    }
    out = spectrum_;
    return true;
}

} // namespace tembrel::test
