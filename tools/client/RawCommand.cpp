// raw COMMAND [ARG]: sends any command and prints every message it causes.
#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "Commands.h"
#include "net/ValueType.h"
#include "protocol/Messages.h"

namespace tembrel::client {

namespace {

using net::ValueType;

// ^Error also carries the confirmation of a queued track; only a real
// error answer makes raw fail.
[[nodiscard]] bool isErrorAnswer(const net::CNDKMessage& reply) {
    return protocol::isReply(reply, protocol::Reply::Error) &&
           !protocol::isQueuedConfirmation(protocol::payloadOf(reply));
}

// Scalars by the width their code gives them; FourByteD is unsigned.
std::int64_t scalarNumber(const net::CNDKValue& value) {
    const auto& slot = value.scalar();
    const std::uint8_t code = value.typeCode();
    if (code <= static_cast<std::uint8_t>(ValueType::OneByteB)) {
        return static_cast<std::int8_t>(slot[0]);
    }
    if (code <= static_cast<std::uint8_t>(ValueType::TwoByteB)) {
        std::int16_t number = 0;
        std::memcpy(&number, slot.data(), sizeof number);
        return number;
    }
    if (value.isType(ValueType::FourByteD)) {
        std::uint32_t number = 0;
        std::memcpy(&number, slot.data(), sizeof number);
        return number;
    }
    if (code <= static_cast<std::uint8_t>(ValueType::FourByteE)) {
        std::int32_t number = 0;
        std::memcpy(&number, slot.data(), sizeof number);
        return number;
    }
    std::int64_t number = 0;
    std::memcpy(&number, slot.data(), sizeof number);
    return number;
}

std::string valueText(const net::CNDKValue& value) {
    if (value.isType(ValueType::Text)) {
        return value.text();
    }
    if (value.isType(ValueType::Bytes)) {
        return "<" + std::to_string(value.bytes().size()) + " bytes>";
    }
    return std::to_string(scalarNumber(value));
}

Json valueJson(const net::CNDKValue& value) {
    if (value.isType(ValueType::Text)) {
        return Json(value.text());
    }
    if (value.isType(ValueType::Bytes)) {
        return Json::object().set("bytes", static_cast<std::int64_t>(value.bytes().size()));
    }
    return Json(scalarNumber(value));
}

} // namespace

int runRaw(Context& context) {
    if (auto rc = context.expectArguments(1, 2)) {
        return *rc;
    }
    const std::string& command = context.args()[0];
    const std::string argument = context.args().size() > 1 ? context.args()[1] : "";
    if (!protocol::findCommand(command).has_value()) {
        return context.usage("the server has no command '" + command +
                             "' (names are case-sensitive)");
    }
    if (auto rc = context.join()) {
        return *rc;
    }
    std::vector<net::CNDKMessage> replies;
    if (!context.session().exchange(protocol::commandTextMessage(command, argument), &replies)) {
        return context.failSession();
    }
    // Spectrum frames stream all the time while the spectrum is on; they are
    // not answers to the command.
    std::erase_if(replies, [](const net::CNDKMessage& m) {
        return protocol::isReply(m, protocol::Reply::Spectrum);
    });
    const bool refused = std::any_of(replies.begin(), replies.end(), isErrorAnswer);
    const int status = refused ? static_cast<int>(ExitCode::Failed) : 0;
    if (context.output().json()) {
        Json list = Json::array();
        for (const auto& reply : replies) {
            Json values = Json::array();
            for (const auto& value : reply.values()) {
                values.push(valueJson(value));
            }
            list.push(Json::object().set("id", reply.id()).set("values", std::move(values)));
        }
        context.output().emit(Json::object().set("replies", std::move(list)));
        return status;
    }
    auto& out = context.output().out();
    for (const auto& reply : replies) {
        const auto& values = reply.values();
        for (std::size_t i = 0; i < values.size(); ++i) {
            out << (i > 0 ? "\t" : "") << valueText(values[i]);
        }
        out << '\n';
    }
    return status;
}

} // namespace tembrel::client
