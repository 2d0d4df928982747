// The real sound library's stream table: opening for playback or for tags
// and length only, closing, and the tag fields of open streams.
#include "playback/SystemSoundLibraryImpl.h"

#include <filesystem>
#include <new>
#include <system_error>

#include "playback/FfmpegDecoder.h"
#include "playback/ReadDeadline.h"
#include "playback/TagFields.h"

namespace tembrel::playback {

OpenStream* SystemSoundLibrary::find(StreamHandle stream) const {
    const auto found = streams_.find(stream);
    if (found == streams_.end()) {
        error_ = kErrInvalidParam;
        return nullptr;
    }
    return &found->second;
}

StreamHandle SystemSoundLibrary::store(OpenStream stream) {
    const StreamHandle handle = nextHandle_++;
    if (nextHandle_ <= kNoStream) {
        nextHandle_ = kNoStream + 1;
    }
    streams_.emplace(handle, std::move(stream));
    return handle;
}

StreamHandle SystemSoundLibrary::openStream(const std::string& path, OpenPurpose purpose) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) {
        fail(kErrFileNotFound);
        return kNoStream;
    }
    if (!std::filesystem::is_regular_file(status)) {
        fail(kErrFileBad);
        return kNoStream;
    }
    try {
        return purpose == OpenPurpose::Playback ? openPlayback(path) : openInformation(path);
    } catch (const std::bad_alloc&) {
        fail(kErrMemory);
    } catch (const std::system_error&) {
        fail(kErrFileBad); // the decoder thread could not be started
    }
    return kNoStream;
}

void SystemSoundLibrary::prepareFile(const std::string& path, OpenPurpose purpose) {
    // Reading ahead gives up on a file that takes longer than this (a
    // normal file takes milliseconds); the open then fails like any file
    // that cannot be read.
    constexpr auto kReadAheadBudget = std::chrono::seconds(15);
    const ReadDeadline deadline(kReadAheadBudget);
    const int mixRate = mixRate_.load();
    // Without an output there is nothing to play at: only the information.
    const bool forPlayback = purpose == OpenPurpose::Playback && mixRate > 0;
    if (std::unique_ptr<PreparedFile> file = readAhead(path, forPlayback, mixRate)) {
        prepared_.put(std::move(file));
    }
}

std::unique_ptr<PreparedFile> SystemSoundLibrary::readForOpen(const std::string& path,
                                                              bool forPlayback) {
    if (const auto identity = FileIdentity::of(path)) {
        std::unique_ptr<PreparedFile> ready =
            forPlayback ? prepared_.takePlayback(*identity) : prepared_.information(*identity);
        if (ready) {
            return ready;
        }
    }
    return readAhead(path, forPlayback, mixRate_.load());
}

StreamHandle SystemSoundLibrary::openInformation(const std::string& path) {
    std::unique_ptr<PreparedFile> file = readForOpen(path, false);
    if (!file || file->informationError != kErrNone) {
        fail(file ? file->informationError : kErrFileNotFound);
        return kNoStream;
    }
    std::vector<TagField> fields =
        file->tags ? std::move(file->tags->fields) : std::vector<TagField>{};
    return store(OpenStream{path, file->lengthMs, std::move(fields), nullptr, {}});
}

StreamHandle SystemSoundLibrary::openPlayback(const std::string& path) {
    if (!isInitialized()) {
        fail(kErrUninitialized);
        return kNoStream;
    }
    // The length comes from the same reading of the headers as an
    // information-only open gives the tag reader, so the playlist and the
    // status always show the same length; the tags are kept for later asks.
    std::unique_ptr<PreparedFile> file = readForOpen(path, true);
    if (!file || !file->decoder) {
        fail(file ? file->playbackError : kErrFileNotFound);
        return kNoStream;
    }
    const auto ringFrames =
        static_cast<std::size_t>(bufferMs_) * static_cast<std::size_t>(mixRate_.load()) / 1000;
    const StreamHandle handle = nextHandle_;
    auto playback =
        std::make_unique<PlaybackStream>(handle, std::move(file->decoder), ringFrames, cpu_);
    std::optional<std::vector<TagField>> fields;
    if (file->tags) {
        fields = std::move(file->tags->fields);
    }
    return store(OpenStream{path, file->lengthMs, std::move(fields), std::move(playback), {}});
}

bool SystemSoundLibrary::closeStream(StreamHandle stream) {
    OpenStream* open = find(stream);
    if (open == nullptr) {
        return false;
    }
    if (open->playback && mixer_) {
        mixer_->detach(*open->playback);
        outputMayIdle();
    }
    streams_.erase(stream); // a queued end notice for it finds nothing
    return true;
}

int SystemSoundLibrary::streamLengthMs(StreamHandle stream) const {
    const OpenStream* open = find(stream);
    return open != nullptr ? open->lengthMs : 0;
}

const std::vector<TagField>* SystemSoundLibrary::tagsOf(StreamHandle stream) const {
    OpenStream* open = find(stream);
    if (open == nullptr) {
        return nullptr;
    }
    if (!open->tags) {
        std::optional<FileTags> tags = readFileTags(open->path, false);
        open->tags = tags ? std::move(tags->fields) : std::vector<TagField>{};
    }
    return &*open->tags;
}

std::optional<std::string> SystemSoundLibrary::findTagField(StreamHandle stream, int type,
                                                            std::string_view name) const {
    if (const std::vector<TagField>* tags = tagsOf(stream)) {
        for (const TagField& field : *tags) {
            if (field.type == type && field.name == name) {
                return field.value;
            }
        }
    }
    return std::nullopt;
}

std::optional<int> SystemSoundLibrary::tagFieldCount(StreamHandle stream) const {
    if (const std::vector<TagField>* tags = tagsOf(stream)) {
        return static_cast<int>(tags->size());
    }
    return std::nullopt;
}

std::optional<TagField> SystemSoundLibrary::tagField(StreamHandle stream, int index) const {
    const std::vector<TagField>* tags = tagsOf(stream);
    if (tags == nullptr) {
        return std::nullopt;
    }
    if (index < 0 || static_cast<std::size_t>(index) >= tags->size()) {
        fail(kErrInvalidParam);
        return std::nullopt;
    }
    return (*tags)[static_cast<std::size_t>(index)];
}

} // namespace tembrel::playback
