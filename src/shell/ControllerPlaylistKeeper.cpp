// Between the controller's playlist and sound engine and the kept playlist.
#include "shell/ControllerPlaylistKeeper.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace tembrel::shell {

SavedPlaylist ControllerPlaylistKeeper::snapshot() const {
    playback::CPlaylist& playlist = controller_.playlist();
    playback::CSoundEngine& engine = controller_.soundEngine();
    SavedPlaylist saved;
    for (int i = 0; i < playlist.count(); ++i) {
        const playback::PlaylistEntry& entry = playlist.entry(i);
        saved.entries.push_back({entry.path, entry.title, entry.album, entry.artist, entry.length});
    }
    saved.current = playlist.current();
    saved.shuffle = playlist.shuffle() == 1;
    saved.repeat = playlist.repeat() == 1;
    // The window's Stop shuts the sound library down and forgets the stream
    // while the play state may still read Playing: nothing is playing then.
    const bool streamOpen = engine.stream() != playback::kNoStream;
    switch (streamOpen ? engine.playState() : playback::PlayState::Stopped) {
    case playback::PlayState::Playing:
        saved.state = SavedPlaylist::State::Playing;
        break;
    case playback::PlayState::Paused:
        saved.state = SavedPlaylist::State::Paused;
        break;
    case playback::PlayState::Stopped:
        saved.state = SavedPlaylist::State::Stopped;
        break;
    }
    // A paused stream is detached where it stopped, so its time is the
    // position to resume at; a stopped one starts over.
    saved.positionMs = saved.state == SavedPlaylist::State::Stopped
                           ? 0
                           : engine.library().streamTime(engine.stream());
    return saved;
}

void ControllerPlaylistKeeper::restore(const SavedPlaylist& saved) {
    std::vector<playback::PlaylistEntry> entries;
    entries.reserve(saved.entries.size());
    for (const SavedPlaylist::Entry& entry : saved.entries) {
        entries.push_back({entry.path, entry.title, entry.album, entry.artist, entry.length, 0});
    }
    playback::CPlaylist& playlist = controller_.playlist();
    playlist.restore(entries, saved.current);
    playlist.setShuffle(saved.shuffle ? 1 : 0);
    playlist.setRepeat(saved.repeat ? 1 : 0);
    if (saved.state != SavedPlaylist::State::Stopped && playlist.count() > 0) {
        resume_ = Resume{saved.positionMs, saved.state == SavedPlaylist::State::Paused};
    }
}

void ControllerPlaylistKeeper::resumePlayback() {
    if (!resume_) {
        return;
    }
    const Resume resume = *resume_;
    resume_.reset();
    playback::CPlaylist& playlist = controller_.playlist();
    playback::CSoundEngine& engine = controller_.soundEngine();
    if (!engine.spectrumAvailable()) {
        return; // the start was held up (a port that is not a number): nothing can play
    }
    playlist.playEntry(playlist.current());
    if (engine.playState() != playback::PlayState::Playing) {
        return; // the file no longer plays: it stays stopped, as any failed play does
    }
    const int position = static_cast<int>(
        std::clamp<std::int64_t>(resume.positionMs, 0, std::numeric_limits<int>::max()));
    (void)engine.library().setStreamTime(engine.stream(), position);
    if (resume.paused) {
        engine.pauseOrResume();
    }
}

} // namespace tembrel::shell
