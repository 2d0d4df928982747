// The controller tests' harness: set-up, and the client steps they share.
#include "remote/ControllerHarness.h"

#include <algorithm>

#include "playback/SystemSoundLibrary.h"
#include "protocol/MessageIds.h"

namespace tembrel::test {

namespace {

// The last reply of a status broadcast: "^LengthS" while a position is known,
// else "^Elapsed" with "-:--".
bool endsStatus(std::string_view name, std::string_view payload) {
    return name == "^LengthS" || (name == "^Elapsed" && payload == "-:--");
}

bool endsStatus(const net::CNDKMessage& message) {
    return endsStatus(nameOf(message), textAt(message, 1));
}

} // namespace

std::unique_ptr<playback::SoundLibrary> silentSoundLibrary() {
    return playback::createSystemSoundLibrary(playback::AudioOutput::Null);
}

ControllerHarness::ControllerHarness(Sound sound, net::CNDKHost::Limits limits) {
    if (sound == Sound::Fake) {
        auto fake = std::make_unique<FakeSoundLibrary>();
        fake_ = fake.get();
        sound_ = std::move(fake);
    } else {
        sound_ = silentSoundLibrary();
    }
    createServer(limits);
}

ControllerHarness::ControllerHarness(std::unique_ptr<playback::SoundLibrary> sound, Setup setup)
    : sound_(std::move(sound)) {
    createServer(setup.hostLimits, setup.uploadIdleLimit);
    for (std::size_t i = 0; i < setup.locations.size(); ++i) {
        server_->setLocation(static_cast<int>(i), setup.locations[i].string());
    }
    (void)start();
}

void ControllerHarness::createServer(net::CNDKHost::Limits limits,
                                     remote::UploadSessions::Clock::duration uploadIdleLimit) {
    remote::CServerDlg::Options options;
    options.uploadDir = uploadDir();
    options.hostLimits = limits;
    options.uploadIdleLimit = uploadIdleLimit;
    server_ = std::make_unique<remote::CServerDlg>(*sound_, view_, std::move(options));
}

ControllerHarness::~ControllerHarness() {
    // The controller refers to the sound library; it goes first.
    server_.reset();
}

bool ControllerHarness::start() {
    server_->setPortText("0");
    server_->startStopServer();
    return waitForLibrary() && server_->isHosting();
}

bool ControllerHarness::waitForLibrary() {
    // The scan of a test tree ends within milliseconds.
    constexpr int kScanWaitMs = 30000;
    return waitUntil([this] { return !server_->libraryScanning(); }, kScanWaitMs);
}

quint16 ControllerHarness::port() const {
    const int port = server_->listeningPort();
    return port > 0 ? static_cast<quint16>(port) : 0;
}

void ControllerHarness::restart() {
    server_->startStopServer();
    server_->startStopServer();
    (void)waitForLibrary();
}

std::unique_ptr<TestClient> ControllerHarness::connect() {
    auto client = std::make_unique<TestClient>();
    if (!client->connectTo(port())) {
        return nullptr;
    }
    return client;
}

std::unique_ptr<TestClient> ControllerHarness::join(std::string_view name) {
    auto client = connect();
    if (!client || !client->send(makeJoin(name))) {
        return nullptr;
    }
    const auto replies = client->receiveUntil(
        [](const net::CNDKMessage& m) { return textAt(m, 0) == "^TotalTracks"; });
    if (!replies) {
        return nullptr;
    }
    return client;
}

bool ControllerHarness::queueFakeTrack(const std::string& path, int lengthMs,
                                       const std::string& title, const std::string& artist,
                                       const std::string& album) {
    fake_->addFile(path, lengthMs,
                   {{playback::kTagFieldId3v1, "TITLE", title},
                    {playback::kTagFieldId3v1, "ARTIST", artist},
                    {playback::kTagFieldId3v1, "ALBUM", album}});
    return server_->playlist().appendEntry(path, path);
}

std::vector<std::string> StatusReplies::names() const {
    std::vector<std::string> result;
    for (const auto& reply : replies) {
        result.push_back(reply.first);
    }
    return result;
}

std::optional<std::string> StatusReplies::get(std::string_view name) const {
    for (const auto& [replyName, payload] : replies) {
        if (replyName == name) {
            return payload;
        }
    }
    return std::nullopt;
}

std::optional<StatusReplies> readStatus(TestClient& client, int timeoutMs,
                                        std::vector<net::CNDKMessage>* before) {
    // A broadcast starts with "^CurrentTrackInfo" or "^TrackName".
    std::vector<net::CNDKMessage> skipped;
    StatusReplies status;
    bool inStatus = false;
    for (;;) {
        const std::optional<net::CNDKMessage> message = client.receive(timeoutMs);
        if (!message) {
            return std::nullopt;
        }
        const std::string name = textAt(*message, 0);
        if (!inStatus && name != "^CurrentTrackInfo" && name != "^TrackName") {
            skipped.push_back(*message);
            continue;
        }
        inStatus = true;
        const std::string payload = textAt(*message, 1);
        status.replies.emplace_back(name, payload);
        if (endsStatus(name, payload)) {
            break;
        }
    }
    if (before != nullptr) {
        *before = std::move(skipped);
    }
    return status;
}

net::CNDKMessage makeJoin(std::string_view name) {
    net::CNDKMessage join(protocol::kIdJoin);
    join.appendText(name);
    return join;
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
    if (!client.connectTo(port) || !client.send(makeJoin(name))) {
        return {};
    }
    auto replies = client.receiveUntil([](const net::CNDKMessage& m) { return endsStatus(m); });
    return replies ? *replies : std::vector<net::CNDKMessage>{};
}

std::vector<net::CNDKMessage> exchange(TestClient& client, const net::CNDKMessage& command,
                                       int timeoutMs) {
    if (!client.send(command)) {
        return {};
    }
    // Timer pushes (status, spectrum) are messages built from scratch with
    // another identifier; only the replies built in the command count.
    const auto isCommandReply = [](const net::CNDKMessage& m) {
        return m.id() == protocol::kIdCommand;
    };
    auto received = client.receiveUntil(
        [&](const net::CNDKMessage& m) { return isCommandReply(m) && endsStatus(m); }, timeoutMs);
    if (!received) {
        return {};
    }
    std::vector<net::CNDKMessage> replies;
    std::copy_if(received->begin(), received->end(), std::back_inserter(replies), isCommandReply);
    return replies;
}

std::vector<net::CNDKMessage> exchange(TestClient& client, std::string_view command,
                                       std::string_view argument) {
    return exchange(client, makeCommand(command, argument));
}

} // namespace tembrel::test
