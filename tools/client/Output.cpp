// Result and error printing.
#include "Output.h"

namespace tembrel::client {

void Output::emit(const Json& result) {
    out_ << result.dump() << '\n';
    out_.flush();
}

int Output::fail(const Failure& failure) {
    err_ << "tembrel-remote: " << failure.message << '\n';
    if (json_) {
        emit(Json::object()
                 .set("ok", false)
                 .set("error", failure.message)
                 .set("exitCode", static_cast<int>(failure.code)));
    }
    return static_cast<int>(failure.code);
}

int Output::usage(std::string_view command, std::string_view message) {
    std::string hint = "tembrel-remote help";
    if (!command.empty()) {
        hint += ' ';
        hint += command;
    }
    return fail(ExitCode::Usage, std::string(message) + " (see '" + hint + "')");
}

} // namespace tembrel::client
