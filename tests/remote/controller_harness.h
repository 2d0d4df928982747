// Shared set-up of the controller tests: a real CServerDlg on a loopback
// port, a recording view, a scripted or real sound library, and clients
// that read the status broadcast.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "remote/CServerDlg.h"
#include "support/AudioFixtures.h"
#include "support/FakeSoundLibrary.h"
#include "support/RecordingView.h"
#include "support/TestClient.h"

namespace tembrel::test {

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

class ControllerHarness {
public:
    // Scripted library (exact call order, virtual clock) or the real one
    // with silent output (real decoding and real time).
    enum class Sound { Fake, Real };

    explicit ControllerHarness(Sound sound = Sound::Fake, net::CNDKHost::Limits limits = {});
    ~ControllerHarness();

    // Sets the port field to "0" (a free port) and presses the toggle.
    // Starts the server and waits until its library scan is complete.
    [[nodiscard]] bool start();
    // Serves queued calls until the running library scan has been handed over.
    [[nodiscard]] bool waitForLibrary();
    [[nodiscard]] quint16 port() const;

    // A connected client that has sent its join message and read its whole
    // join reply (up to "^TotalTracks"). nullptr on failure.
    [[nodiscard]] std::unique_ptr<TestClient> join(std::string_view name);
    // A connected client that has not joined.
    [[nodiscard]] std::unique_ptr<TestClient> connect();

    [[nodiscard]] remote::CServerDlg& server() noexcept { return *server_; }
    [[nodiscard]] FakeSoundLibrary& fake() noexcept { return *fake_; }
    [[nodiscard]] RecordingView& view() noexcept { return view_; }
    [[nodiscard]] const std::filesystem::path& folder() const noexcept { return temp_.path(); }

    // Registers a track with the fake library (length, title/artist/album
    // tags) and queues it.
    bool queueFakeTrack(const std::string& path, int lengthMs, const std::string& title,
                        const std::string& artist = "Artist", const std::string& album = "Album");

private:
    TempDir temp_;
    RecordingView view_;
    std::unique_ptr<playback::SoundLibrary> sound_;
    FakeSoundLibrary* fake_ = nullptr;
    std::unique_ptr<remote::CServerDlg> server_;
};

} // namespace tembrel::test
