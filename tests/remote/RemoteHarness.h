// A server controller serving on a loopback port inside the test process,
// and the client-side steps the browsing, transfer and spectrum tests share.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/CNDKMessage.h"
#include "playback/SoundLibrary.h"
#include "remote/CServerDlg.h"
#include "support/AudioFixtures.h"
#include "support/RecordingView.h"
#include "support/TestClient.h"

namespace tembrel::test {

// The real sound library on the silent output.
[[nodiscard]] std::unique_ptr<playback::SoundLibrary> silentSoundLibrary();

class ServedController {
public:
    struct Setup {
        std::vector<std::filesystem::path> locations;
        net::CNDKHost::Limits hostLimits{};
    };

    // Starts the server on a free loopback port; check started() afterwards.
    ServedController(std::unique_ptr<playback::SoundLibrary> sound, Setup setup);
    ~ServedController();

    [[nodiscard]] bool started() const { return server_->isHosting() && port_ > 0; }
    [[nodiscard]] quint16 port() const noexcept { return port_; }
    [[nodiscard]] remote::CServerDlg& server() noexcept { return *server_; }
    [[nodiscard]] RecordingView& view() noexcept { return view_; }
    [[nodiscard]] playback::SoundLibrary& sound() noexcept { return *sound_; }
    // A scratch folder of this server; uploads go to uploadRoot()/"uploads".
    [[nodiscard]] const std::filesystem::path& uploadRoot() const noexcept { return temp_.path(); }
    [[nodiscard]] std::filesystem::path uploadDir() const { return temp_.path() / "uploads"; }

    // Stop then start again (the start/stop toggle twice).
    void restart();
    // Serves queued calls until the running library scan has been handed over.
    void waitForLibrary();

private:
    TempDir temp_;
    std::unique_ptr<playback::SoundLibrary> sound_;
    RecordingView view_;
    std::unique_ptr<remote::CServerDlg> server_;
    quint16 port_ = 0;
};

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
