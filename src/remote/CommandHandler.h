// The command handler: looks a command message's text up in the protocol's
// command table and runs its handler, each a few lines that call one
// subsystem operation; then broadcasts the status, after every command.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "net/CNDKMessage.h"
#include "playback/CPlaylist.h"
#include "playback/CSoundEngine.h"
#include "protocol/Commands.h"
#include "remote/FileWork.h"
#include "remote/LibraryBrowser.h"
#include "remote/ServerLog.h"
#include "remote/StatusBroadcaster.h"
#include "remote/UploadSessions.h"
#include "remote/UserMessenger.h"
#include "remote/UserRoster.h"

namespace tembrel::remote {

class CommandHandler {
public:
    // What the handlers act on; all owned by the controller.
    struct Subsystems {
        playback::CSoundEngine& engine;
        playback::CPlaylist& playlist;
        LibraryBrowser& browser;
        UploadSessions& uploads;
        StatusBroadcaster& status;
        UserRoster& roster;
        UserMessenger& messenger;
        ServerLog& log;
        // Files are read ahead through it, on the file workers.
        playback::SoundLibrary& sound;
        FileWork& work;
        // The largest message a client may receive (bounds ^Image).
        std::size_t maxMessageBytes;
    };

    explicit CommandHandler(Subsystems subsystems) noexcept : s_(subsystems) {}

    // The command sequence for a message with identifier 2 from `userId`.
    // A command that opens a file has the file read ahead on a file worker
    // first; the sequence then runs when the read is done.
    void handle(std::int32_t userId, net::CNDKMessage& message) { run(userId, message, false); }

private:
    struct Call {
        std::int32_t userId;
        net::CNDKMessage& message;
        const std::string& argument;
    };
    using Handler = void (CommandHandler::*)(Call&);
    struct Entry {
        protocol::Command command;
        Handler handler;
    };
    static const std::array<Entry, protocol::kCommandCount> kHandlers;

    // A file a command will open, and for what.
    struct FileToOpen {
        std::string path;
        playback::OpenPurpose purpose;
    };

    void run(std::int32_t userId, net::CNDKMessage& message, bool filesRead);
    // The file the command will open, if any.
    [[nodiscard]] std::optional<FileToOpen> fileToOpen(protocol::Command command,
                                                       std::int32_t userId,
                                                       const net::CNDKMessage& message,
                                                       const std::string& argument) const;
    // The file a playlist entry's start opens; nothing for no entry.
    [[nodiscard]] std::optional<FileToOpen> entryToPlay(std::int64_t index) const;
    // A queued file is read for its tags, and opened for playback too when
    // nothing plays (it starts at once).
    [[nodiscard]] FileToOpen fileToQueue(std::string path) const;
    // Reads `file` ahead on a file worker, then runs the command again;
    // the user's later messages wait meanwhile.
    void readAheadThenRun(std::int32_t userId, net::CNDKMessage& message, FileToOpen file);

    // Transport.
    void getInfo(Call& call);
    void play(Call& call);
    void setTime(Call& call);
    void pause(Call& call);
    void stop(Call& call);
    void seekForward(Call& call);
    void seekBack(Call& call);
    void previousTrack(Call& call);
    void nextTrack(Call& call);
    void playTrack(Call& call);
    void toggleRepeat(Call& call);
    void toggleShuffle(Call& call);
    void volumeUp(Call& call);
    void volumeDown(Call& call);
    void mute(Call& call);
    // Library.
    void getAlbums(Call& call);
    void getAlbumTracks(Call& call);
    void playAlbumTrack(Call& call);
    void search(Call& call);
    // Transfers.
    void startFile(Call& call);
    void storeFileChunk(Call& call);
    void endFile(Call& call);
    void getDetail(Call& call);

    Subsystems s_;
};

} // namespace tembrel::remote
