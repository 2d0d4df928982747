// Generation of /protocol.json from the protocol library's tables.
#include "web/ProtocolTable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <string_view>

#include "net/CNDKMessage.h"
#include "playback/PlayState.h"
#include "protocol/Commands.h"
#include "protocol/MessageIds.h"
#include "protocol/ProtocolConstants.h"
#include "protocol/Replies.h"
#include "protocol/ValueLayout.h"

namespace tembrel::web {

namespace {

[[nodiscard]] QString text(std::string_view view) {
    return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
}

[[nodiscard]] QString argumentName(protocol::Argument argument) {
    switch (argument) {
    case protocol::Argument::None:
        return QStringLiteral("none");
    case protocol::Argument::SliderPosition:
        return QStringLiteral("sliderPosition");
    case protocol::Argument::PlaylistNumber:
        return QStringLiteral("playlistNumber");
    case protocol::Argument::ListedNumber:
        return QStringLiteral("listedNumber");
    case protocol::Argument::UploadValues:
        return QStringLiteral("upload");
    case protocol::Argument::Text:
        break;
    }
    return QStringLiteral("text");
}

[[nodiscard]] QString payloadName(protocol::Payload payload) {
    switch (payload) {
    case protocol::Payload::None:
        return QStringLiteral("none");
    case protocol::Payload::Text:
        return QStringLiteral("text");
    case protocol::Payload::Number:
        return QStringLiteral("number");
    case protocol::Payload::Fields:
        return QStringLiteral("fields");
    case protocol::Payload::UploadValues:
        return QStringLiteral("upload");
    case protocol::Payload::Picture:
        return QStringLiteral("image");
    case protocol::Payload::SearchResults:
        break;
    }
    return QStringLiteral("search");
}

// How a value type's content is written in JSON (see docs/web-remote.md).
[[nodiscard]] QString jsonForm(const protocol::ValueTypeSpec& entry) {
    if (entry.type == net::ValueType::Text) {
        return QStringLiteral("text");
    }
    if (entry.type == net::ValueType::Bytes) {
        return QStringLiteral("base64");
    }
    if (entry.type == net::ValueType::EightByte) {
        return QStringLiteral("int64string");
    }
    const QString sign =
        entry.type == net::ValueType::FourByteB ? QStringLiteral("int") : QStringLiteral("uint");
    return sign + QString::number(entry.scalarBytes * 8);
}

[[nodiscard]] QJsonObject messageIds() {
    return {{"join", protocol::kIdJoin},
            {"leave", protocol::kIdLeave},
            {"command", protocol::kIdCommand},
            {"bigMessage", protocol::kIdBigMessage},
            {"serverStopping", net::kNdkIdServerStopping},
            {"echo", net::kNdkIdEcho},
            {"ping", net::kNdkIdPing},
            {"leaving", net::kNdkIdLeaving},
            {"dropped", net::kNdkIdDropped}};
}

[[nodiscard]] QJsonArray valueTypes() {
    QJsonArray types;
    for (const protocol::ValueTypeSpec& row : protocol::kValueTypes) {
        types.append(QJsonObject{{"name", text(row.name)},
                                 {"code", static_cast<int>(row.type)},
                                 {"json", jsonForm(row)}});
    }
    return types;
}

[[nodiscard]] QJsonArray commands() {
    QJsonArray list;
    for (const protocol::CommandSpec& row : protocol::kCommands) {
        QJsonArray replies;
        for (const protocol::Reply reply : row.replies) {
            replies.append(text(protocol::replyName(reply)));
        }
        list.append(QJsonObject{{"name", text(row.name)},
                                {"argument", argumentName(row.argument)},
                                {"replies", replies}});
    }
    return list;
}

[[nodiscard]] QJsonArray replies() {
    QJsonArray list;
    for (const protocol::ReplySpec& row : protocol::kReplies) {
        QJsonObject entry{{"name", text(row.name)}, {"payload", payloadName(row.payload)}};
        if (!row.fields.empty()) {
            QJsonArray fields;
            for (const std::string_view field : row.fields) {
                fields.append(text(field));
            }
            entry.insert("fields", fields);
        }
        list.append(entry);
    }
    return list;
}

[[nodiscard]] QJsonObject status() {
    QJsonArray replies;
    for (const protocol::Reply reply : protocol::kStatusReplies) {
        replies.append(text(protocol::replyName(reply)));
    }
    QJsonArray states;
    for (const playback::PlayState state :
         {playback::PlayState::Stopped, playback::PlayState::Playing,
          playback::PlayState::Paused}) {
        states.append(text(playback::playStateText(state)));
    }
    return {{"replies", replies},
            {"playStates", states},
            {"emptyPlaylist", text(protocol::kEmptyPlaylistText)},
            {"noElapsed", text(protocol::kNoElapsedText)}};
}

[[nodiscard]] QJsonObject layouts() {
    namespace Upload = protocol::UploadValue;
    namespace Image = protocol::ImageValue;
    return {{"name", protocol::kNameValue},
            {"payload", protocol::kPayloadValue},
            {"argumentOverride", protocol::kArgumentOverrideValue},
            {"userName", protocol::kUserNameValue},
            {"upload", QJsonObject{{"chunk", Upload::kChunk},
                                   {"chunkLength", Upload::kChunkLength},
                                   {"serverPath", Upload::kServerPath},
                                   {"clientSize", Upload::kClientSize},
                                   {"returnNumber", Upload::kReturnNumber},
                                   {"clientPath", Upload::kClientPath}}},
            {"image", QJsonObject{{"bytes", Image::kBytes}, {"size", Image::kSize}}}};
}

[[nodiscard]] QJsonObject constants(const ServerLimits& limits) {
    return {{"maxUsers", limits.maxUsers},
            {"playlistCapacity", limits.playlistCapacity},
            {"searchResults", limits.searchResults},
            {"maxValueCount", static_cast<qint64>(limits.maxValueCount)},
            {"maxMessageBytes", static_cast<qint64>(limits.maxMessageBytes)},
            {"maxFrameBytes", static_cast<qint64>(limits.maxFrameBytes)},
            {"spectrumBands", protocol::kBandCount},
            {"maxBandValue", protocol::kMaxBandValue},
            {"seekSliderEnd", protocol::kSeekSliderEnd},
            {"firstListedNumber", protocol::kFirstListedNumber},
            {"looseTracksAlbumNumber", protocol::kLooseTracksAlbumNumber},
            {"volumeMax", protocol::kMaxVolume},
            {"volumeStep", protocol::kVolumeStep}};
}

} // namespace

QByteArray protocolTableJson(const ServerLimits& limits) {
    const QJsonObject layout = layouts();
    const QJsonObject table{{"format", kProtocolTableFormat},
                            {"messageIds", messageIds()},
                            {"valueTypes", valueTypes()},
                            {"commands", commands()},
                            {"replies", replies()},
                            {"fieldSeparator", QString(QChar(protocol::kFieldSeparator))},
                            {"status", status()},
                            {"values", layout},
                            {"upload", layout.value("upload")},
                            {"image", layout.value("image")},
                            {"limits", constants(limits)}};
    return QJsonDocument(table).toJson(QJsonDocument::Compact);
}

} // namespace tembrel::web
