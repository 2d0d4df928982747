// Building and reading the application's messages.
#include "protocol/Messages.h"

namespace tembrel::protocol {

net::CNDKMessage commandMessage(Command command, std::string_view argument) {
    return commandTextMessage(commandName(command), argument);
}

net::CNDKMessage commandTextMessage(std::string_view commandText, std::string_view argument) {
    net::CNDKMessage message(kIdCommand);
    message.appendText(commandText);
    if (!argument.empty()) {
        message.appendText(argument);
    }
    return message;
}

net::CNDKMessage joinMessage(std::string_view userName) {
    net::CNDKMessage message(kIdJoin);
    message.appendText(userName);
    return message;
}

net::CNDKMessage leaveMessage(std::string_view userName) {
    net::CNDKMessage message(kIdLeave);
    message.appendText(userName);
    return message;
}

net::CNDKMessage noticeMessage(Reply reply) {
    net::CNDKMessage message;
    message.appendText(replyName(reply));
    return message;
}

std::string nameOf(const net::CNDKMessage& message) {
    std::string name;
    message.readValue(kNameValue, name);
    return name;
}

std::string payloadOf(const net::CNDKMessage& message) {
    std::string payload;
    message.readValue(kPayloadValue, payload);
    return payload;
}

std::optional<Reply> replyOf(const net::CNDKMessage& message) {
    return findReply(nameOf(message));
}

bool isReply(const net::CNDKMessage& message, Reply reply) {
    return nameOf(message) == replyName(reply);
}

std::string commandArgument(const net::CNDKMessage& message) {
    std::string argument;
    message.readValue(kPayloadValue, argument);
    message.readValue(kArgumentOverrideValue, argument);
    return argument;
}

std::string queuedConfirmation(std::string_view title) {
    std::string text(kQueuedPrefix);
    text += title;
    text += kQueuedSuffix;
    return text;
}

bool isQueuedConfirmation(std::string_view text) noexcept {
    return text.size() >= kQueuedPrefix.size() + kQueuedSuffix.size() &&
           text.starts_with(kQueuedPrefix) && text.ends_with(kQueuedSuffix);
}

void putReply(net::CNDKMessage& message, Reply reply) {
    message.putText(kNameValue, replyName(reply));
}

void putReply(net::CNDKMessage& message, Reply reply, std::string_view payload) {
    message.putText(kNameValue, replyName(reply));
    message.putText(kPayloadValue, payload);
}

std::string joinFields(std::span<const std::string_view> fields) {
    std::string joined;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            joined += kFieldSeparator;
        }
        joined += fields[i];
    }
    return joined;
}

std::vector<std::string> splitFields(std::string_view payload, std::size_t count) {
    std::vector<std::string> fields;
    if (count == 0) {
        return fields;
    }
    std::string_view rest = payload;
    std::string last;
    if (count > 1) {
        if (const auto cut = rest.rfind(kFieldSeparator); cut != std::string_view::npos) {
            last = std::string(rest.substr(cut + 1));
            rest = rest.substr(0, cut);
        }
    }
    for (std::size_t i = 0; i + 2 < count; ++i) {
        const auto cut = rest.find(kFieldSeparator);
        fields.emplace_back(rest.substr(0, cut));
        rest = cut == std::string_view::npos ? std::string_view{} : rest.substr(cut + 1);
    }
    fields.emplace_back(rest);
    if (count > 1) {
        fields.push_back(std::move(last));
    }
    return fields;
}

UploadRequest readUpload(const net::CNDKMessage& message) {
    UploadRequest request;
    message.readValue(UploadValue::kServerPath, request.serverPath);
    message.readValue(UploadValue::kClientPath, request.clientPath);
    message.readValue(UploadValue::kChunkLength, request.chunkLength);
    message.readValue(UploadValue::kReturnNumber, request.returnNumber);
    if (message.valueCount() > UploadValue::kChunk &&
        message.value(UploadValue::kChunk).isType(net::ValueType::Bytes)) {
        request.chunk = message.value(UploadValue::kChunk).bytes().view();
    }
    return request;
}

net::CNDKMessage uploadMessage(Command command, std::string_view serverPath,
                               std::int32_t returnNumber) {
    net::CNDKMessage message = commandMessage(command);
    message.putFourByteB(UploadValue::kChunkLength, 0);
    message.putText(UploadValue::kServerPath, serverPath);
    message.putFourByteB(UploadValue::kReturnNumber, returnNumber);
    return message;
}

void putChunk(net::CNDKMessage& message, std::span<const std::uint8_t> chunk) {
    message.putBytes(UploadValue::kChunk, chunk);
    message.putFourByteB(UploadValue::kChunkLength, static_cast<std::int32_t>(chunk.size()));
    message.putText(UploadValue::kClientSize, "");
}

net::CNDKMessage imageMessage(std::span<const std::uint8_t> picture) {
    net::CNDKMessage message;
    message.appendText(replyName(Reply::Image));
    message.appendValue(net::CNDKValue::fromBytes(picture));
    message.appendValue(net::CNDKValue::fromScalar(net::ValueType::FourByteB,
                                                   static_cast<std::int32_t>(picture.size())));
    return message;
}

std::optional<std::vector<std::uint8_t>> readImage(const net::CNDKMessage& message) {
    if (!isReply(message, Reply::Image) || message.valueCount() <= ImageValue::kSize ||
        !message.value(ImageValue::kBytes).isType(net::ValueType::Bytes)) {
        return std::nullopt;
    }
    std::int32_t size = -1;
    message.readValue(ImageValue::kSize, size);
    const auto bytes = message.value(ImageValue::kBytes).bytes().view();
    if (size < 0 || static_cast<std::size_t>(size) != bytes.size()) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

} // namespace tembrel::protocol
