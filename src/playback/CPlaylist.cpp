// The shared play queue: appending tracks, choosing the next or previous
// entry (in order or shuffled, with or without repeat) and the advance at the
// end of a track.
#include "playback/CPlaylist.h"

#include <algorithm>

namespace tembrel::playback {

CPlaylist::CPlaylist(CSoundEngine& engine, const CTagReader& tagReader, Clock clock)
    : engine_(engine), tagReader_(tagReader), clock_(std::move(clock)) {
    if (!clock_) {
        clock_ = [] {
            return std::time(nullptr);
        };
    }
    engine_.setStreamEndHandler([this] { onStreamEnd(); });
}

CPlaylist::~CPlaylist() {
    engine_.setStreamEndHandler({});
}

int CPlaylist::pickShuffleIndex() {
    // Reseeded on every pick, so two picks within one second draw alike.
    random_.seed(static_cast<std::uint32_t>(clock_()));
    (void)random_.next();
    if (count_ <= 0) {
        return -1;
    }
    int candidateCount = 0;
    for (int index = 0; index < count_; ++index) {
        if (entries_[index].played == 0) {
            candidates_[candidateCount++] = index;
        }
    }
    if (candidateCount == 0) {
        return -1;
    }
    const int draw = random_.next();
    int position = draw * candidateCount / ShuffleRandom::kMaxDraw;
    if (position >= candidateCount) {
        position = candidateCount - 1;
    }
    return candidates_[position];
}

void CPlaylist::playEntry(int index) {
    if (index < 0 || index >= kPlaylistCapacity) {
        return;
    }
    PlaylistEntry& entry = entries_[index];
    // A file that fails still becomes current, so the queue moves on from it.
    (void)engine_.playFile(entry.path);
    current_ = index;
    entry.played = 1;
    if (const int next = followingIndex(true);
        upcomingHandler_ && shuffle_ == 0 && next >= 0 && next != index) {
        upcomingHandler_(entries_[next].path);
    }
}

void CPlaylist::playNext() {
    if (shuffle_ != 0) {
        int index = pickShuffleIndex();
        if (index == -1) {
            if (repeat_ == 0) {
                return;
            }
            clearPlayed();
            index = pickShuffleIndex();
            if (index == -1) {
                return;
            }
        }
        playEntry(index);
        return;
    }
    if (const int next = followingIndex(true); next >= 0) {
        playEntry(next);
    }
}

int CPlaylist::followingIndex(bool forward) const noexcept {
    if (forward && current_ + 1 < count_) {
        return current_ + 1;
    }
    if (!forward && current_ >= 1) {
        return current_ - 1;
    }
    return repeat_ != 0 ? 0 : -1;
}

void CPlaylist::playPrevious() {
    if (shuffle_ != 0) {
        playNext();
        return;
    }
    if (const int previous = followingIndex(false); previous >= 0) {
        playEntry(previous);
    }
}

bool CPlaylist::appendEntry(const std::string& openPath, const std::string& namePath,
                            std::string* failedTitle) {
    if (count_ >= kPlaylistCapacity) {
        return false;
    }
    PlaylistEntry& entry = entries_[count_];
    // A slot may still hold the texts of a rolled-back append; they must not
    // show up as this track's names.
    entry = PlaylistEntry{};
    entry.path = openPath;
    ++count_;
    if (tagReader_.readTrackInfo(openPath, namePath, entry.title, entry.album, entry.artist,
                                 entry.length) != 0) {
        --count_;
        if (failedTitle != nullptr) {
            *failedTitle = entry.title;
        }
        return false;
    }
    if (engine_.playState() == PlayState::Stopped) {
        playEntry(count_ - 1);
    }
    return true;
}

void CPlaylist::setShuffle(int on) {
    shuffle_ = on != 0 ? 1 : 0;
    if (shuffle_ == 0) {
        clearPlayed();
    }
}

void CPlaylist::setRepeat(int on) {
    repeat_ = on != 0 ? 1 : 0;
}

void CPlaylist::clearPlayed() noexcept {
    for (PlaylistEntry& entry : entries_) {
        entry.played = 0;
    }
}

void CPlaylist::restore(std::span<const PlaylistEntry> entries, int current) {
    const std::size_t kept = std::min(entries.size(), entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        entries_[i] = i < kept ? entries[i] : PlaylistEntry{};
        entries_[i].played = 0;
    }
    count_ = static_cast<int>(kept);
    current_ = current >= 0 && current < count_ ? current : 0;
}

void CPlaylist::onStreamEnd() {
    engine_.setPlayState(PlayState::Stopped);
    playNext();
}

} // namespace tembrel::playback
