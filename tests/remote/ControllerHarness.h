// The controller tests' one harness: a real CServerDlg serving on a loopback
// port inside the test process, with a recording view and a scripted or real
// sound library, and the client-side steps the tests share.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "net/CNDKMessage.h"
#include "playback/SoundLibrary.h"
#include "protocol/MessageIds.h"
#include "remote/CServerDlg.h"
#include "support/AudioFixtures.h"
#include "support/FakeSoundLibrary.h"
#include "support/RecordingView.h"
#include "support/TestClient.h"

namespace tembrel::test {

// The real sound library on the silent output.
[[nodiscard]] std::unique_ptr<playback::SoundLibrary> silentSoundLibrary();

class ControllerHarness {
public:
    // Scripted library (exact call order, virtual clock) or the real one
    // with silent output (real decoding and real time).
    enum class Sound { Fake, Real };

    struct Setup {
        std::vector<std::filesystem::path> locations;
        net::CNDKHost::Limits hostLimits{};
        remote::UploadSessions::Clock::duration uploadIdleLimit =
            remote::UploadSessions::kIdleLimit;
    };

    // A controller that is not started yet.
    explicit ControllerHarness(Sound sound = Sound::Fake, net::CNDKHost::Limits limits = {});
    // A controller on the given library and Locations, started at once on a
    // free loopback port; check started() afterwards.
    ControllerHarness(std::unique_ptr<playback::SoundLibrary> sound, Setup setup);
    ~ControllerHarness();

    // Sets the port field to "0" (a free port), presses the toggle and waits
    // until the library scan it started is complete.
    [[nodiscard]] bool start();
    // Serves queued calls until the running library scan has been handed over.
    [[nodiscard]] bool waitForLibrary();
    [[nodiscard]] bool started() const { return server_->isHosting() && port() > 0; }
    [[nodiscard]] quint16 port() const;
    // Stop then start again (the start/stop toggle twice).
    void restart();

    // A connected client that has sent its join message and read its whole
    // join reply (up to "^TotalTracks"). nullptr on failure.
    [[nodiscard]] std::unique_ptr<TestClient> join(std::string_view name);
    // A connected client that has not joined.
    [[nodiscard]] std::unique_ptr<TestClient> connect();

    [[nodiscard]] remote::CServerDlg& server() noexcept { return *server_; }
    // The scripted library; only for Sound::Fake.
    [[nodiscard]] FakeSoundLibrary& fake() noexcept { return *fake_; }
    [[nodiscard]] playback::SoundLibrary& sound() noexcept { return *sound_; }
    [[nodiscard]] RecordingView& view() noexcept { return view_; }
    // A scratch folder of this server; uploads go to uploadDir() inside it.
    [[nodiscard]] const std::filesystem::path& folder() const noexcept { return temp_.path(); }
    [[nodiscard]] const std::filesystem::path& uploadRoot() const noexcept { return temp_.path(); }
    [[nodiscard]] std::filesystem::path uploadDir() const { return temp_.path() / "uploads"; }

    // Registers a track with the fake library (length, title/artist/album
    // tags) and queues it.
    bool queueFakeTrack(const std::string& path, int lengthMs, const std::string& title,
                        const std::string& artist = "Artist", const std::string& album = "Album");

private:
    void createServer(net::CNDKHost::Limits limits,
                      remote::UploadSessions::Clock::duration uploadIdleLimit =
                          remote::UploadSessions::kIdleLimit);

    TempDir temp_;
    RecordingView view_;
    std::unique_ptr<playback::SoundLibrary> sound_;
    FakeSoundLibrary* fake_ = nullptr;
    std::unique_ptr<remote::CServerDlg> server_;
};

// One complete status broadcast as a client received it.
struct StatusReplies {
    std::vector<std::pair<std::string, std::string>> replies; // name, value 1
    [[nodiscard]] std::vector<std::string> names() const;
    // Value 1 of the named reply; nullopt when absent.
    [[nodiscard]] std::optional<std::string> get(std::string_view name) const;
};

// Reads messages until a complete status broadcast has arrived (it ends with
// "^Elapsed" "-:--", or with "^LengthS"); the messages before it are put in
// `before` when given.
[[nodiscard]] std::optional<StatusReplies>
readStatus(TestClient& client, int timeoutMs = 3000,
           std::vector<net::CNDKMessage>* before = nullptr);

[[nodiscard]] net::CNDKMessage makeJoin(std::string_view name);

// Value 0 of a reply.
[[nodiscard]] std::string nameOf(const net::CNDKMessage& message);
// Value 1 of every message named `name`, in arrival order.
[[nodiscard]] std::vector<std::string> payloads(const std::vector<net::CNDKMessage>& messages,
                                                std::string_view name);
[[nodiscard]] int countNamed(const std::vector<net::CNDKMessage>& messages, std::string_view name);

// Connects and joins as `name`; the join replies up to the first status.
[[nodiscard]] std::vector<net::CNDKMessage> connectAndJoin(TestClient& client, quint16 port,
                                                           std::string_view name);

// Sends a command and returns its replies (identifier 2), up to and including
// the status broadcast that ends every command. Empty on timeout.
[[nodiscard]] std::vector<net::CNDKMessage>
exchange(TestClient& client, const net::CNDKMessage& command, int timeoutMs = 10'000);
[[nodiscard]] std::vector<net::CNDKMessage> exchange(TestClient& client, std::string_view command,
                                                     std::string_view argument);

} // namespace tembrel::test
