// The command table and the transport commands.
#include "remote/CommandHandler.h"

#include "protocol/Messages.h"
#include "protocol/ProtocolConstants.h"
#include "remote/ClientText.h"
#include "remote/DecimalText.h"
#include "remote/MessageBounds.h"

namespace tembrel::remote {

namespace {

using protocol::Command;
using protocol::Reply;

constexpr std::string_view kCommandTooLong = "Command refused: the message is too long";
// The values a status reply sets: the reply name and its payload.
constexpr std::int32_t kRepliedValues = 2;

} // namespace

// One handler per command, in the order of the protocol's command table.
const std::array<CommandHandler::Entry, protocol::kCommandCount> CommandHandler::kHandlers{{
    {Command::GetInfo, &CommandHandler::getInfo},
    {Command::Play, &CommandHandler::play},
    {Command::SetTime, &CommandHandler::setTime},
    {Command::Pause, &CommandHandler::pause},
    {Command::Stop, &CommandHandler::stop},
    {Command::SendFile, &CommandHandler::storeFileChunk},
    {Command::StartFile, &CommandHandler::startFile},
    {Command::EndFile, &CommandHandler::endFile},
    {Command::SeekForward, &CommandHandler::seekForward},
    {Command::GetDetail, &CommandHandler::getDetail},
    {Command::Repeat, &CommandHandler::toggleRepeat},
    {Command::Shuffle, &CommandHandler::toggleShuffle},
    {Command::SeekBack, &CommandHandler::seekBack},
    {Command::PreviousTrack, &CommandHandler::previousTrack},
    {Command::NextTrack, &CommandHandler::nextTrack},
    {Command::PlayTrack, &CommandHandler::playTrack},
    {Command::PlayAlbumTrack, &CommandHandler::playAlbumTrack},
    {Command::GetAlbums, &CommandHandler::getAlbums},
    {Command::GetAlbumTracks, &CommandHandler::getAlbumTracks},
    {Command::VolumeUp, &CommandHandler::volumeUp},
    {Command::VolumeDown, &CommandHandler::volumeDown},
    {Command::Mute, &CommandHandler::mute},
    {Command::Search, &CommandHandler::search},
}};

void CommandHandler::run(std::int32_t userId, net::CNDKMessage& message, bool filesRead) {
    const auto command = protocol::findCommand(protocol::nameOf(message));
    const bool upload =
        command && protocol::commandSpec(*command).argument == protocol::Argument::UploadValues;
    if (!upload && messageBytes(message) > kMaxRepeatedCommandBytes) {
        // Its replies would repeat whatever the sender packed into it to
        // everyone; the sender alone hears why nothing happened.
        net::CNDKMessage refusal(message.id());
        protocol::putReply(refusal, Reply::Error, kCommandTooLong);
        s_.messenger.replyTo(userId, refusal);
        return;
    }
    // Exact, case-sensitive names; an unknown command has no action of its own.
    if (command) {
        const std::string argument = protocol::commandArgument(message);
        if (!filesRead) {
            if (auto file = fileToOpen(*command, userId, message, argument)) {
                readAheadThenRun(userId, message, std::move(*file));
                return;
            }
        }
        const Entry& entry = kHandlers[static_cast<std::size_t>(*command)];
        Call call{userId, message, argument};
        (this->*entry.handler)(call);
        // A search concerns its sender alone: the others hear nothing of it,
        // not even a status broadcast, so typing in a search box costs them
        // nothing.
        if (*command == Command::Search) {
            return;
        }
    }
    // Whatever the command was, every user learns the resulting status; an
    // upload chunk stays with its sender.
    if (messageBytes(message) > kMaxRepeatedCommandBytes) {
        keepFirstValues(message, kRepliedValues);
    }
    if (s_.work.busy(userId)) {
        // The command's own file work (a picture being read) ends first.
        s_.work.afterWork(userId, [this, status = message]() mutable { s_.status.push(status); });
        return;
    }
    s_.status.push(message);
}

void CommandHandler::getInfo(Call& call) {
    s_.status.push(call.message);
}

void CommandHandler::play(Call&) {
    // Also while Paused: the current entry starts again from its beginning.
    if (s_.engine.playState() != playback::PlayState::Playing) {
        s_.playlist.playEntry(s_.playlist.current());
    }
}

void CommandHandler::setTime(Call& call) {
    s_.engine.seekToFraction(static_cast<float>(atoiClamped(call.argument)) * protocol::kSeekScale);
}

void CommandHandler::pause(Call&) {
    s_.engine.pauseOrResume();
}

void CommandHandler::stop(Call&) {
    s_.engine.stop();
}

void CommandHandler::seekForward(Call&) {
    s_.engine.seekBy(protocol::kSeekStepMs);
}

void CommandHandler::seekBack(Call&) {
    s_.engine.seekBy(-protocol::kSeekStepMs);
}

void CommandHandler::previousTrack(Call&) {
    s_.playlist.playPrevious();
}

void CommandHandler::nextTrack(Call& call) {
    if (s_.playlist.shuffle() == 1) {
        const std::string name = s_.roster.userName(call.userId);
        s_.log.appendUserLog(call.userId, name,
                             forLog(name) + ":" + std::to_string(s_.playlist.current()));
    }
    s_.playlist.playNext();
}

void CommandHandler::playTrack(Call& call) {
    const std::int64_t index = std::int64_t{atoiClamped(call.argument)} - 1;
    if (index >= 0 && index < s_.playlist.count()) {
        s_.playlist.playEntry(static_cast<int>(index));
    }
}

void CommandHandler::toggleRepeat(Call& call) {
    const bool wasOn = s_.playlist.repeat() == 1;
    s_.playlist.setRepeat(wasOn ? 0 : 1);
    protocol::putReply(call.message, wasOn ? Reply::RepeatOff : Reply::RepeatOn, "");
    s_.messenger.broadcast(call.message);
}

void CommandHandler::toggleShuffle(Call& call) {
    const bool wasOn = s_.playlist.shuffle() == 1;
    s_.playlist.setShuffle(wasOn ? 0 : 1);
    protocol::putReply(call.message, wasOn ? Reply::ShuffleOff : Reply::ShuffleOn, "");
    s_.messenger.broadcast(call.message);
    // Switching shuffle off forgets which entries it has played.
    if (wasOn) {
        s_.playlist.clearPlayed();
    }
}

void CommandHandler::volumeUp(Call&) {
    s_.engine.stepVolume(protocol::kVolumeStep);
}

void CommandHandler::volumeDown(Call&) {
    s_.engine.stepVolume(-protocol::kVolumeStep);
}

void CommandHandler::mute(Call&) {
    s_.engine.mute();
}

void CommandHandler::getAlbums(Call& call) {
    s_.browser.listAlbums(call.userId, call.message, call.argument);
}

void CommandHandler::getAlbumTracks(Call& call) {
    s_.browser.listAlbumTracks(call.userId, call.message, call.argument);
}

void CommandHandler::playAlbumTrack(Call& call) {
    s_.browser.queueAlbumTrack(call.userId, call.message, call.argument);
}

void CommandHandler::search(Call& call) {
    s_.browser.search(call.userId, call.message, call.argument);
}

} // namespace tembrel::remote
