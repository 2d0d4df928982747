// Reply reading and command building.
#include "Replies.h"

namespace tembrel::client {

std::string replyName(const net::CNDKMessage& message) {
    std::string name;
    message.readValue(0, name);
    return name;
}

std::string replyText(const net::CNDKMessage& message) {
    std::string text;
    message.readValue(1, text);
    return text;
}

net::CNDKMessage commandMessage(std::string_view command, std::string_view argument) {
    net::CNDKMessage message(kIdCommand);
    message.appendText(command);
    if (!argument.empty()) {
        message.appendText(argument);
    }
    return message;
}

} // namespace tembrel::client
