// Shared set-up of the controller tests.
#include "remote/controller_harness.h"

#include "playback/SystemSoundLibrary.h"

namespace tembrel::test {

namespace {

// A scan of the small test trees ends within milliseconds.
constexpr int kScanWaitMs = 30000;

} // namespace

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
    // A broadcast starts with "^CurrentTrackInfo" or "^TrackName" and ends
    // with "^Elapsed" "-:--" or with "^LengthS".
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
        if ((name == "^Elapsed" && payload == "-:--") || name == "^LengthS") {
            break;
        }
    }
    if (before != nullptr) {
        *before = std::move(skipped);
    }
    return status;
}

net::CNDKMessage makeJoin(std::string_view name) {
    net::CNDKMessage join(remote::CServerDlg::kIdJoin);
    join.appendText(name);
    return join;
}

ControllerHarness::ControllerHarness(Sound sound, net::CNDKHost::Limits limits) {
    if (sound == Sound::Fake) {
        auto fake = std::make_unique<FakeSoundLibrary>();
        fake_ = fake.get();
        sound_ = std::move(fake);
    } else {
        sound_ = playback::createSystemSoundLibrary(playback::AudioOutput::Null);
    }
    remote::CServerDlg::Options options;
    options.uploadDir = temp_.path() / "uploads";
    options.hostLimits = limits;
    server_ = std::make_unique<remote::CServerDlg>(*sound_, view_, options);
}

ControllerHarness::~ControllerHarness() {
    server_.reset();
}

bool ControllerHarness::start() {
    server_->setPortText("0");
    server_->startStopServer();
    return waitForLibrary() && server_->isHosting();
}

bool ControllerHarness::waitForLibrary() {
    return waitUntil([this] { return !server_->libraryScanning(); }, kScanWaitMs);
}

quint16 ControllerHarness::port() const {
    return static_cast<quint16>(server_->listeningPort());
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

} // namespace tembrel::test
