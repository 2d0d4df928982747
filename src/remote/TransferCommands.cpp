// The upload commands and the album picture of a playlist entry.
#include <algorithm>
#include <cstddef>
#include <limits>
#include <string>

#include "protocol/Messages.h"
#include "remote/CommandHandler.h"
#include "remote/DecimalText.h"
#include "remote/PictureLocator.h"

namespace tembrel::remote {

namespace {

using protocol::Reply;

// Room for the ^Image message's own framing around the picture bytes.
constexpr std::size_t kPictureMessageHeadroom = 4096;

// Why an upload failed, told to its sender at the refused chunk and again at
// its EndFile.
std::string uploadFailureText(UploadSessions::Stored failure) {
    using Stored = UploadSessions::Stored;
    switch (failure) {
    case Stored::OverQuota:
        return "Cannot store upload: the server's upload folder is full";
    case Stored::ZeroFillTooLong:
        return "Cannot store upload: a chunk may declare at most " +
               std::to_string(UploadSessions::kMaxZeroFillBytes) + " bytes more than it carries";
    case Stored::WriteFailed:
        return "Cannot store upload: the file could not be written";
    default:
        return "Cannot store upload: the chunk length is not valid";
    }
}

void replyUploadFailure(UserMessenger& messenger, std::int32_t userId, net::CNDKMessage& message,
                        UploadSessions::Stored failure) {
    protocol::putReply(message, Reply::Error, uploadFailureText(failure));
    messenger.replyTo(userId, message);
}

} // namespace

void CommandHandler::startFile(Call& call) {
    const protocol::UploadRequest request = protocol::readUpload(call.message);
    // A refused name or a file that cannot be created writes nothing; the
    // client still gets its answer and learns of the failure at EndFile.
    s_.uploads.start(call.userId, request.serverPath, UploadSessions::Clock::now());
    // The number the client sent in value 5 goes back there as FourByteB,
    // whatever type it came as (0 when it was missing); value 4 stays as sent.
    protocol::putReply(call.message, Reply::GetFileChunk);
    call.message.putFourByteB(protocol::UploadValue::kReturnNumber, request.returnNumber);
    s_.messenger.replyTo(call.userId, call.message);
}

void CommandHandler::storeFileChunk(Call& call) {
    const protocol::UploadRequest request = protocol::readUpload(call.message);
    const auto stored = s_.uploads.storeChunk(call.userId, request.serverPath, request.chunk,
                                              request.chunkLength, UploadSessions::Clock::now());
    if (stored != UploadSessions::Stored::Written && stored != UploadSessions::Stored::Lost) {
        // The upload has failed and its file is removed; no further chunk is
        // asked.
        replyUploadFailure(s_.messenger, call.userId, call.message, stored);
        return;
    }
    // A chunk for no open upload is answered all the same; the client learns
    // of it at EndFile. The reply carries every value back, the chunk
    // included.
    protocol::putReply(call.message, Reply::GetFileChunk);
    s_.messenger.replyTo(call.userId, call.message);
}

void CommandHandler::endFile(Call& call) {
    const protocol::UploadRequest request = protocol::readUpload(call.message);
    if (const auto failure = s_.uploads.takeFailure(call.userId, request.serverPath)) {
        // Its file missed data and is gone: there is nothing to queue.
        replyUploadFailure(s_.messenger, call.userId, call.message, *failure);
        return;
    }
    // A refused name is an upload that could not be stored, and a name that
    // is none of the listed audio formats is no track: both fail like any
    // file that cannot be opened. The tag reader opens the stored copy but
    // takes its fallback names from the client's own folders.
    const auto finished = s_.uploads.finish(call.userId, request.serverPath);
    const std::optional<std::string> storedPath =
        finished ? std::optional<std::string>(finished->path) : std::nullopt;
    // A full playlist refuses before the file is read: the upload may well
    // be playable, so it is kept like any finished upload (an empty one never
    // is). One that was read and cannot be played would only take room.
    const bool playlistFull = s_.playlist.count() >= playback::CPlaylist::kPlaylistCapacity;
    const bool queued =
        s_.browser.queueTrack(storedPath, request.clientPath, call.userId, call.message);
    if (!queued && finished && finished->justFinished && (!playlistFull || finished->bytes == 0)) {
        s_.uploads.discard(finished->path);
    }
}

void CommandHandler::getDetail(Call& call) {
    const std::int32_t position = atoiClamped(call.argument);
    if (position < 1 || position > s_.playlist.count()) {
        // Value 1 keeps the number the client sent.
        protocol::putReply(call.message, Reply::NoImage);
        s_.messenger.replyTo(call.userId, call.message);
        return;
    }
    // Finding the picture lists a folder and reading it may take long: both
    // on a file worker.
    const std::size_t limit = s_.maxMessageBytes;
    // The size travels as a signed 32-bit number.
    const std::size_t maxPictureBytes =
        std::min<std::size_t>(limit > kPictureMessageHeadroom ? limit - kPictureMessageHeadroom : 0,
                              std::numeric_limits<std::int32_t>::max());
    // The reply is built there too: copying a large picture into it is
    // work the event loop need not do.
    auto reply = std::make_shared<net::CNDKMessage>(call.message);
    protocol::putReply(*reply, Reply::NoImage);
    s_.work.run(
        call.userId,
        [reply, entryPath = s_.playlist.entry(position - 1).path, maxPictureBytes] {
            if (const auto found = locatePicture(entryPath)) {
                if (const auto picture = readPicture(*found, maxPictureBytes)) {
                    *reply = protocol::imageMessage(*picture);
                }
            }
        },
        [this, userId = call.userId, reply] { s_.messenger.replyTo(userId, *reply); });
}

} // namespace tembrel::remote
