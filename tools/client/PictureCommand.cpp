// picture N [FILE]: saves the album picture of a playlist entry.
#include <cerrno>
#include <cstring>
#include <fstream>

#include "Commands.h"
#include "Text.h"
#include "protocol/Messages.h"

namespace tembrel::client {

namespace {

// Writes the whole of `bytes` to `file`; false with `error` set on failure.
bool writeWholeFile(const std::string& file, std::span<const std::uint8_t> bytes,
                    std::string& error) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (out) {
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
    }
    if (!out) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace

int runPicture(Context& context) {
    if (auto rc = context.expectArguments(1, 2)) {
        return *rc;
    }
    const auto number = parseUnsigned(context.args()[0]);
    if (!number || *number < 1) {
        return context.usage("picture needs a playlist number from 1 up");
    }
    const std::string file = context.args().size() > 1
                                 ? context.args()[1]
                                 : "folder-" + std::to_string(*number) + ".jpg";
    if (auto rc = context.joinWithPlaylistEntry(*number)) {
        return *rc;
    }
    std::vector<net::CNDKMessage> replies;
    if (!context.session().exchange(
            protocol::commandMessage(protocol::Command::GetDetail, std::to_string(*number)),
            &replies)) {
        return context.failSession();
    }
    const net::CNDKMessage* image = nullptr;
    for (const auto& reply : replies) {
        if (protocol::isReply(reply, protocol::Reply::NoImage)) {
            return context.output().fail(ExitCode::Failed, "the album of playlist entry " +
                                                               std::to_string(*number) +
                                                               " has no picture");
        }
        if (protocol::isReply(reply, protocol::Reply::Image)) {
            image = &reply;
        }
    }
    using protocol::ImageValue::kBytes;
    if (image == nullptr || image->valueCount() <= kBytes ||
        !image->value(kBytes).isType(net::ValueType::Bytes)) {
        return context.output().fail(ExitCode::Connection,
                                     "the server did not answer the picture request");
    }
    const auto bytes = image->value(kBytes).bytes().view();
    std::int32_t declared = -1;
    image->readValue(protocol::ImageValue::kSize, declared);
    if (declared < 0 || static_cast<std::size_t>(declared) != bytes.size()) {
        return context.output().fail(ExitCode::Connection, "the picture arrived incomplete (" +
                                                               std::to_string(bytes.size()) +
                                                               " of " + std::to_string(declared) +
                                                               " bytes)");
    }
    std::string error;
    if (!writeWholeFile(file, bytes, error)) {
        return context.output().fail(ExitCode::Failed, "cannot write " + file + ": " + error);
    }
    if (context.output().json()) {
        context.output().emit(
            Json::object().set("file", file).set("bytes", static_cast<std::int64_t>(bytes.size())));
    } else {
        context.output().out() << "Saved " << bytes.size() << " bytes to " << file << '\n';
    }
    return 0;
}

} // namespace tembrel::client
