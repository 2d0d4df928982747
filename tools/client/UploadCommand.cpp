// upload FILE...: sends audio files in chunks and has the server queue them.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "Commands.h"
#include "ProgressBar.h"
#include "protocol/Messages.h"

namespace tembrel::client {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kChunkBytes = 64 * 1024;

struct UploadResult {
    bool queued = false;
    std::string message;
};

// Sends one upload message and waits until the server asks for the next
// chunk. False when the connection failed; a refusal (an error reply: the upload
// failed on the server) leaves its text in `refusal`.
bool requestChunk(Session& session, const net::CNDKMessage& message, std::string& refusal) {
    net::CNDKMessage reply;
    if (!session.send(message) ||
        !session.awaitReply(protocol::Reply::GetFileChunk, protocol::Reply::Error, reply)) {
        return false;
    }
    if (protocol::isReply(reply, protocol::Reply::Error)) {
        refusal = protocol::payloadOf(reply);
    }
    return true;
}

// Sends the file's chunks after StartFile was answered, each when the server
// asks for it. False when the connection failed; a refusal stops the upload
// with its text in `refusal`.
bool sendChunks(Context& context, std::ifstream& in, const std::string& serverPath,
                std::int32_t number, std::uintmax_t size, std::string& refusal) {
    const bool drawProgress = !context.output().json() && ::isatty(STDERR_FILENO) == 1;
    ProgressBar progress(context.output().err(), drawProgress, serverPath);
    std::vector<std::uint8_t> chunk(kChunkBytes);
    std::uint64_t sent = 0;
    progress.update(0, size);
    while (in && refusal.empty()) {
        in.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got == 0) {
            break;
        }
        net::CNDKMessage message =
            protocol::uploadMessage(protocol::Command::SendFile, serverPath, number);
        protocol::putChunk(message, std::span(chunk.data(), got));
        if (!requestChunk(context.session(), message, refusal)) {
            return false;
        }
        sent += got;
        progress.update(sent, size);
    }
    return true;
}

// Sends one file. False only when the connection failed; a file that cannot
// be read or is refused by the server is a result.
bool uploadFile(Context& context, const fs::path& file, std::int32_t number, UploadResult& result) {
    std::error_code error;
    const auto size = fs::file_size(file, error);
    std::ifstream in(file, std::ios::binary);
    if (error || !in || !fs::is_regular_file(file, error)) {
        result.message = "cannot read " + file.string();
        return true;
    }
    Session& session = context.session();
    // The server keeps only the last part of this path, inside its upload folder.
    const std::string serverPath = file.filename().string();
    if (!requestChunk(session,
                      protocol::uploadMessage(protocol::Command::StartFile, serverPath, number),
                      result.message)) {
        return false;
    }
    if (!result.message.empty()) {
        return true;
    }
    if (!sendChunks(context, in, serverPath, number, size, result.message)) {
        return false;
    }
    if (!result.message.empty()) {
        return true; // refused: the server has removed what it stored
    }
    if (in.bad()) {
        result.message = "reading " + file.string() + " failed";
        return true;
    }
    net::CNDKMessage end = protocol::uploadMessage(protocol::Command::EndFile, serverPath, number);
    // The server names the track after this path's file and folders when
    // the file has no tags.
    end.putText(protocol::UploadValue::kClientPath, fs::absolute(file, error).string());
    std::vector<net::CNDKMessage> replies;
    if (!session.exchange(end, &replies)) {
        return false;
    }
    for (const auto& message : replies) {
        if (protocol::isReply(message, protocol::Reply::Error)) {
            result.message = protocol::payloadOf(message);
        }
    }
    result.queued = protocol::isQueuedConfirmation(result.message);
    if (result.message.empty()) {
        result.message = "the server did not answer the upload";
    }
    return true;
}

} // namespace

int runUpload(Context& context) {
    if (context.args().empty()) {
        return context.usage("upload needs at least one FILE");
    }
    for (const auto& file : context.args()) {
        std::error_code error;
        if (!fs::is_regular_file(file, error)) {
            return context.output().fail(ExitCode::Failed, "not a readable file: " + file);
        }
    }
    if (auto rc = context.join()) {
        return *rc;
    }
    bool allQueued = true;
    Json files = Json::array();
    std::int32_t number = 0;
    for (const auto& file : context.args()) {
        UploadResult result;
        if (!uploadFile(context, file, ++number, result)) {
            return context.failSession();
        }
        allQueued = allQueued && result.queued;
        if (context.output().json()) {
            files.push(Json::object()
                           .set("file", file)
                           .set("ok", result.queued)
                           .set("message", result.message));
        } else {
            (result.queued ? context.output().out() : context.output().err())
                << file << ": " << result.message << '\n';
        }
    }
    if (context.output().json()) {
        context.output().emit(Json::object().set("ok", allQueued).set("files", std::move(files)));
    }
    return static_cast<int>(allQueued ? ExitCode::Ok : ExitCode::Failed);
}

} // namespace tembrel::client
