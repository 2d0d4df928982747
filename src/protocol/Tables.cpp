// Lookups in the protocol's tables, and checks that each table lists its
// entries in the order of its enum.
#include "protocol/Commands.h"
#include "protocol/Replies.h"
#include "protocol/ValueLayout.h"

namespace tembrel::protocol {

static_assert(
    [] {
        for (std::size_t i = 0; i < std::size(kCommands); ++i) {
            if (static_cast<std::size_t>(kCommands[i].command) != i) {
                return false;
            }
        }
        for (std::size_t i = 0; i < std::size(kReplies); ++i) {
            if (static_cast<std::size_t>(kReplies[i].reply) != i) {
                return false;
            }
        }
        for (std::size_t i = 0; i < std::size(kValueTypes); ++i) {
            if (static_cast<std::size_t>(kValueTypes[i].type) != i) {
                return false;
            }
        }
        return true;
    }(),
    "protocol tables must list their entries in enum order");

std::optional<Command> findCommand(std::string_view name) noexcept {
    for (const CommandSpec& entry : kCommands) {
        if (entry.name == name) {
            return entry.command;
        }
    }
    return std::nullopt;
}

std::optional<Reply> findReply(std::string_view name) noexcept {
    for (const ReplySpec& entry : kReplies) {
        if (entry.name == name) {
            return entry.reply;
        }
    }
    return std::nullopt;
}

std::optional<std::string_view> valueTypeName(net::ValueType type) noexcept {
    const auto code = static_cast<std::size_t>(type);
    if (code >= std::size(kValueTypes)) {
        return std::nullopt;
    }
    return kValueTypes[code].name;
}

std::optional<net::ValueType> findValueType(std::string_view name) noexcept {
    for (const ValueTypeSpec& entry : kValueTypes) {
        if (entry.name == name) {
            return entry.type;
        }
    }
    return std::nullopt;
}

} // namespace tembrel::protocol
