#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "library/CMediaLibrary.h"
#include "library/LibraryScanner.h"
#include "net/CNDKHost.h"
#include "playback/CPlaylist.h"
#include "playback/CSoundEngine.h"
#include "playback/CTagReader.h"
#include "protocol/ProtocolConstants.h"
#include "remote/CommandHandler.h"
#include "remote/FileWork.h"
#include "remote/LibraryBrowser.h"
#include "remote/ServerLog.h"
#include "remote/ServerView.h"
#include "remote/SpectrumBroadcaster.h"
#include "remote/SpectrumState.h"
#include "remote/StatusBroadcaster.h"
#include "remote/UploadSessions.h"
#include "remote/UserMessenger.h"
#include "remote/UserRoster.h"

namespace tembrel::remote {

// The server controller: the messaging host and a façade over its named
// collaborators (the user roster, the status and spectrum broadcasters,
// uploads, library browsing and the command handler). It keeps the start,
// stop, join and leave sequences. It owns no widget; it talks to a ServerView.
class CServerDlg : public net::CNDKHost, private UserMessenger {
public:
    static constexpr int kMaxUsers = 20;
    static constexpr int kStatusTimerId = StatusBroadcaster::kTimerId;
    static constexpr int kSpectrumTimerId = SpectrumBroadcaster::kTimerId;

    struct Options {
        // Uploads are stored here and nowhere else.
        std::filesystem::path uploadDir;
        // What the upload folder may hold, in bytes.
        std::uint64_t uploadQuotaBytes = UploadSessions::kDefaultQuotaBytes;
        // How long an upload may go without a chunk before it is removed.
        UploadSessions::Clock::duration uploadIdleLimit = UploadSessions::kIdleLimit;
        net::CNDKHost::Limits hostLimits{};
    };

    CServerDlg(playback::SoundLibrary& soundLibrary, ServerView& view, Options options);
    ~CServerDlg() override;

    // The working values of the port and Location fields.
    [[nodiscard]] const std::string& portText() const noexcept { return portText_; }
    void setPortText(std::string text) { portText_ = std::move(text); }
    [[nodiscard]] const std::array<std::string, library::CMediaLibrary::kLocationCount>&
    locations() const noexcept {
        return locations_;
    }
    void setLocation(int index, std::string path);

    // Operations of the window's buttons and menus.
    void startStopServer();
    // Shows whether the host is listening (toggle caption, disconnect buttons).
    void updateServerButtons();
    void disconnectSelectedUser();
    void disconnectAllUsers();
    void selectUserLine(int index) { roster_.selectLine(index); }
    void setSpectrumRate(SpectrumRate rate) { spectrum_.setRate(rate); }

    // Applies a stored DspCode (1-4; anything else changes nothing).
    void applyDspCode(int code) { spectrum_.applyDspCode(code); }
    [[nodiscard]] int currentDspCode() const noexcept { return spectrum_.currentDspCode(); }
    [[nodiscard]] const SpectrumState& spectrumState() const noexcept { return spectrum_.state(); }

    // The server log.
    void appendLog(std::string_view text) { log_.appendLog(text); }
    void logEvent(std::string_view text) { log_.logEvent(text); }

    [[nodiscard]] int selectedUserId() const { return roster_.selectedUserId(); }
    [[nodiscard]] const std::map<std::int32_t, std::string>& userNames() const noexcept {
        return roster_.names();
    }
    [[nodiscard]] const std::vector<std::string>& userLines() const noexcept {
        return roster_.lines();
    }

    [[nodiscard]] playback::CSoundEngine& soundEngine() noexcept { return engine_; }
    [[nodiscard]] playback::CPlaylist& playlist() noexcept { return playlist_; }
    [[nodiscard]] library::CMediaLibrary& mediaLibrary() noexcept { return library_; }

    // The audio formats the scan lists and uploads may have.
    void setFormats(library::AudioFormats formats) {
        uploads_.setFormats(formats);
        formats_ = std::move(formats);
    }
    [[nodiscard]] const library::AudioFormats& formats() const noexcept { return formats_; }
    // Scans the Locations again while users stay connected and playback goes
    // on; the new library replaces the old one once it is complete. With the
    // server stopped, starts it.
    void rescanLibrary();
    // A scan is running on the worker.
    [[nodiscard]] bool libraryScanning() const noexcept { return scanner_.isScanning(); }
    [[nodiscard]] ServerView& view() noexcept { return view_; }

    // Timer expiry (status 2311, spectrum 2312).
    void onTimer(int timerId);
    void pushStatus(net::CNDKMessage& message) { status_.push(message); }
    void pushSpectrum(net::CNDKMessage& message) { spectrum_.step(message); }

protected:
    bool acceptsNewUser() override;
    void onUserJoined(std::int32_t userId) override;
    void onUserMessage(std::int32_t userId, net::CNDKMessage& message) override;
    void onUserDropped(std::int32_t userId, net::DropReason reason) override;
    void onPingMeasured(std::int32_t userId, std::uint32_t milliseconds) override;

private:
    // UserMessenger, for the collaborators.
    bool replyTo(std::int32_t userId, const net::CNDKMessage& message) override;
    void broadcast(const net::CNDKMessage& message) override;

    // Session events.
    void handleJoin(std::int32_t userId, net::CNDKMessage& message);
    void handleBigMessage(std::int32_t userId, const net::CNDKMessage& message);
    // Forgets every user and tells the broadcasters nobody is left.
    void clearUsers();
    // The broadcasters' timers run only while someone is connected.
    void usersPresenceChanged();

    // Start and stop sequences.
    void startSequence();
    void stopSequence();

    // A non-blocking error notice to the local user.
    void showError(std::string_view text);

    ServerView& view_;
    Options options_;
    ServerLog log_;
    playback::CSoundEngine engine_;
    playback::CTagReader tagReader_;
    playback::CPlaylist playlist_;
    library::CMediaLibrary library_;
    library::AudioFormats formats_;
    // Declared after the library it fills: destroyed first, so no finished
    // scan is handed over to a library that is gone.
    library::LibraryScanner scanner_;

    UserRoster roster_;
    StatusBroadcaster status_;
    SpectrumBroadcaster spectrum_;
    UploadSessions uploads_;
    LibraryBrowser browser_;
    // Before the command handler that uses it; its destruction waits for the
    // workers, whose jobs use only the sound library.
    FileWork work_;
    CommandHandler commands_;

    std::string portText_ = std::to_string(protocol::kDefaultPort);
    int listenPort_ = protocol::kDefaultPort;
    std::array<std::string, library::CMediaLibrary::kLocationCount> locations_{};

    bool soundStarted_ = false;
    // The library holds a scan that no stop sequence has reset yet.
    bool libraryBuilt_ = false;

    // Starts a scan of the Locations on the worker.
    void scanLibrary();
};

} // namespace tembrel::remote
