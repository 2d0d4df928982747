// The command handler: looks a command message's text up in the protocol's
// command table and runs its handler, each a few lines that call one
// subsystem operation; then broadcasts the status, after every command.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "net/CNDKMessage.h"
#include "playback/CPlaylist.h"
#include "playback/CSoundEngine.h"
#include "protocol/Commands.h"
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
        // The largest message a client may receive (bounds ^Image).
        std::size_t maxMessageBytes;
    };

    explicit CommandHandler(Subsystems subsystems) noexcept : s_(subsystems) {}

    // The command sequence for a message with identifier 2 from `userId`.
    void handle(std::int32_t userId, net::CNDKMessage& message);

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
    // Sends ^Image with the picture file; false when it could not be read.
    bool sendPicture(const std::filesystem::path& picturePath, std::int32_t userId);

    Subsystems s_;
};

} // namespace tembrel::remote
