// File uploads in chunks and album pictures sent to a client.
#include <algorithm>
#include <cstddef>
#include <limits>
#include <span>
#include <string>

#include "remote/CServerDlg.h"
#include "remote/DecimalText.h"
#include "remote/PictureLocator.h"
#include "remote/UploadFolder.h"

namespace tembrel::remote {

namespace {

// Upload message values.
constexpr std::int32_t kChunkValue = 1;
constexpr std::int32_t kChunkLengthValue = 2;
constexpr std::int32_t kServerPathValue = 3;
constexpr std::int32_t kReturnNumberValue = 5;
constexpr std::int32_t kClientPathValue = 6;

// Room for the "^Image" message's own framing around the picture bytes.
constexpr std::size_t kPictureMessageHeadroom = 4096;

} // namespace

void CServerDlg::startFile(std::int32_t userId, net::CNDKMessage& message) {
    std::string serverPath;
    message.readValue(kServerPathValue, serverPath);
    std::int32_t returnNumber = 0;
    message.readValue(kReturnNumberValue, returnNumber);

    // A refused name or a file that cannot be created writes nothing; the
    // client still gets its answer and learns of the failure at "EndFile".
    (void)UploadFolder(options_.uploadDir).create(serverPath);

    message.putText(0, "^GetFileChunk");
    message.putFourByteB(kReturnNumberValue, returnNumber);
    replyTo(userId, message);
}

void CServerDlg::sendFile(std::int32_t userId, net::CNDKMessage& message) {
    std::int32_t length = 0;
    message.readValue(kChunkLengthValue, length);
    std::string serverPath;
    message.readValue(kServerPathValue, serverPath);

    // The declared length decides how much is written: a shorter chunk is
    // padded with zeros, a longer one cut. A negative length, or one no
    // message could carry, writes nothing.
    if (length >= 0 &&
        static_cast<std::size_t>(length) <= options_.hostLimits.codec.maxMessageBytes) {
        std::span<const std::uint8_t> chunk;
        if (message.valueCount() > kChunkValue &&
            message.value(kChunkValue).isType(net::ValueType::Bytes)) {
            chunk = message.value(kChunkValue).bytes().view();
        }
        const auto wanted = static_cast<std::size_t>(length);
        chunk = chunk.first(std::min(chunk.size(), wanted));
        (void)UploadFolder(options_.uploadDir).append(serverPath, chunk, wanted - chunk.size());
    }

    message.putText(0, "^GetFileChunk");
    replyTo(userId, message);
}

void CServerDlg::endFile(std::int32_t userId, net::CNDKMessage& message) {
    std::string serverPath;
    message.readValue(kServerPathValue, serverPath);
    std::string clientPath;
    message.readValue(kClientPathValue, clientPath);

    // A refused name is an upload that could not be stored, and a name that
    // is none of the audio formats the library lists is no track: both fail
    // like any file that cannot be opened. The tag reader opens the stored
    // copy but takes its fallback names from the client's own folders.
    std::optional<std::string> openPath;
    if (const auto stored = UploadFolder(options_.uploadDir).resolve(serverPath);
        stored && formats_.matches(stored->filename().string())) {
        openPath = stored->string();
    }
    queueTrack(openPath, clientPath, userId, message);
}

void CServerDlg::getDetail(std::int32_t userId, net::CNDKMessage& message,
                           const std::string& argument) {
    const std::int32_t position = atoiClamped(argument);
    if (position >= 1 && position <= playlist_.count()) {
        const auto picture = locatePicture(playlist_.entry(position - 1).path);
        if (picture && sendPicture(*picture, userId)) {
            return;
        }
    }
    message.putText(0, "^NoImage");
    replyTo(userId, message);
}

bool CServerDlg::sendPicture(const std::filesystem::path& picturePath, std::int32_t userId) {
    const std::size_t limit = options_.hostLimits.codec.maxMessageBytes;
    // The size travels as a signed 32-bit number.
    const std::size_t maxPictureBytes =
        std::min<std::size_t>(limit > kPictureMessageHeadroom ? limit - kPictureMessageHeadroom : 0,
                              std::numeric_limits<std::int32_t>::max());
    const auto bytes = readPicture(picturePath, maxPictureBytes);
    if (!bytes) {
        return false;
    }
    net::CNDKMessage reply;
    reply.appendText("^Image");
    reply.appendValue(net::CNDKValue::fromBytes(*bytes));
    reply.appendValue(net::CNDKValue::fromScalar(net::ValueType::FourByteB,
                                                 static_cast<std::int32_t>(bytes->size())));
    replyTo(userId, reply);
    return true;
}

} // namespace tembrel::remote
