// In-process server and client steps for the remote-control tests.
#include "RemoteHarness.h"

#include <algorithm>

#include "playback/SystemSoundLibrary.h"

namespace tembrel::test {

namespace {

constexpr std::int32_t kCommandId = remote::CServerDlg::kIdCommand;

// The last reply of a status broadcast: "^LengthS" while a position is known,
// else "^Elapsed" with "-:--".
bool endsStatus(const net::CNDKMessage& message) {
    const std::string name = nameOf(message);
    return name == "^LengthS" || (name == "^Elapsed" && textAt(message, 1) == "-:--");
}

} // namespace

std::unique_ptr<playback::SoundLibrary> silentSoundLibrary() {
    return playback::createSystemSoundLibrary(playback::AudioOutput::Null);
}

ServedController::ServedController(std::unique_ptr<playback::SoundLibrary> sound, Setup setup)
    : sound_(std::move(sound)) {
    remote::CServerDlg::Options options;
    options.uploadDir = uploadDir();
    options.hostLimits = setup.hostLimits;
    server_ = std::make_unique<remote::CServerDlg>(*sound_, view_, std::move(options));
    server_->setPortText("0");
    for (std::size_t i = 0; i < setup.locations.size(); ++i) {
        server_->setLocation(static_cast<int>(i), setup.locations[i].string());
    }
    server_->startStopServer();
    waitForLibrary();
    const int port = server_->listeningPort();
    port_ = port > 0 ? static_cast<quint16>(port) : 0;
}

ServedController::~ServedController() {
    // The controller refers to the sound library; it goes first.
    server_.reset();
}

void ServedController::waitForLibrary() {
    // The scan of a test tree ends within milliseconds.
    constexpr int kScanWaitMs = 30000;
    (void)waitUntil([this] { return !server_->libraryScanning(); }, kScanWaitMs);
}

void ServedController::restart() {
    server_->startStopServer();
    server_->startStopServer();
    waitForLibrary();
    const int port = server_->listeningPort();
    port_ = port > 0 ? static_cast<quint16>(port) : 0;
}

std::string nameOf(const net::CNDKMessage& message) {
    return textAt(message, 0);
}

std::vector<std::string> payloads(const std::vector<net::CNDKMessage>& messages,
                                  std::string_view name) {
    std::vector<std::string> found;
    for (const auto& message : messages) {
        if (nameOf(message) == name) {
            found.push_back(textAt(message, 1));
        }
    }
    return found;
}

int countNamed(const std::vector<net::CNDKMessage>& messages, std::string_view name) {
    return static_cast<int>(std::count_if(messages.begin(), messages.end(),
                                          [&](const auto& m) { return nameOf(m) == name; }));
}

std::vector<net::CNDKMessage> connectAndJoin(TestClient& client, quint16 port,
                                             std::string_view name) {
    if (!client.connectTo(port)) {
        return {};
    }
    net::CNDKMessage join(remote::CServerDlg::kIdJoin);
    join.appendText(name);
    if (!client.send(join)) {
        return {};
    }
    auto replies = client.receiveUntil(endsStatus);
    return replies ? *replies : std::vector<net::CNDKMessage>{};
}

std::vector<net::CNDKMessage> exchange(TestClient& client, const net::CNDKMessage& command,
                                       int timeoutMs) {
    if (!client.send(command)) {
        return {};
    }
    // Timer pushes (status, spectrum) are messages built from scratch with
    // another identifier; only the replies built in the command count.
    auto received = client.receiveUntil(
        [](const net::CNDKMessage& m) { return m.id() == kCommandId && endsStatus(m); }, timeoutMs);
    if (!received) {
        return {};
    }
    std::vector<net::CNDKMessage> replies;
    std::copy_if(received->begin(), received->end(), std::back_inserter(replies),
                 [](const net::CNDKMessage& m) { return m.id() == kCommandId; });
    return replies;
}

std::vector<net::CNDKMessage> exchange(TestClient& client, std::string_view command,
                                       std::string_view argument) {
    return exchange(client, makeCommand(command, argument));
}

} // namespace tembrel::test
