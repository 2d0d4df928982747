// The files commands open, read ahead on a file worker so that opening them
// on the main thread takes no time, however large or strange they are.
#include "protocol/Messages.h"
#include "remote/CommandHandler.h"
#include "remote/DecimalText.h"

namespace tembrel::remote {

using protocol::Command;

std::optional<CommandHandler::FileToOpen>
CommandHandler::fileToOpen(Command command, std::int32_t userId, const net::CNDKMessage& message,
                           const std::string& argument) const {
    const bool full = s_.playlist.count() >= playback::CPlaylist::kPlaylistCapacity;
    switch (command) {
    case Command::Play:
        if (s_.engine.playState() == playback::PlayState::Playing) {
            return std::nullopt;
        }
        return entryToPlay(s_.playlist.current());
    case Command::PlayTrack:
        return entryToPlay(std::int64_t{atoiClamped(argument)} - 1);
    case Command::NextTrack:
    case Command::PreviousTrack:
        // A shuffled pick cannot be known ahead; its file is opened when
        // picked.
        if (s_.playlist.shuffle() == 1) {
            return std::nullopt;
        }
        return entryToPlay(s_.playlist.followingIndex(command == Command::NextTrack));
    case Command::PlayAlbumTrack:
        if (const auto path = s_.browser.albumTrackPath(userId, argument); path && !full) {
            return fileToQueue(*path);
        }
        return std::nullopt;
    case Command::EndFile:
        if (const auto path =
                s_.uploads.fileToFinish(userId, protocol::readUpload(message).serverPath);
            path && !full) {
            return fileToQueue(*path);
        }
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

std::optional<CommandHandler::FileToOpen> CommandHandler::entryToPlay(std::int64_t index) const {
    if (index < 0 || index >= s_.playlist.count()) {
        return std::nullopt;
    }
    return FileToOpen{s_.playlist.entry(static_cast<int>(index)).path,
                      playback::OpenPurpose::Playback};
}

CommandHandler::FileToOpen CommandHandler::fileToQueue(std::string path) const {
    const bool startsAtOnce = s_.engine.playState() == playback::PlayState::Stopped;
    return FileToOpen{std::move(path), startsAtOnce ? playback::OpenPurpose::Playback
                                                    : playback::OpenPurpose::InformationOnly};
}

void CommandHandler::readAheadThenRun(std::int32_t userId, net::CNDKMessage& message,
                                      FileToOpen file) {
    auto held = std::make_shared<net::CNDKMessage>(std::move(message));
    s_.work.run(
        userId,
        [&sound = s_.sound, file = std::move(file)] { sound.prepareFile(file.path, file.purpose); },
        [this, userId, held] { run(userId, *held, true); });
}

} // namespace tembrel::remote
