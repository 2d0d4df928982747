#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "library/CMediaLibrary.h"
#include "net/CNDKHost.h"
#include "playback/CPlaylist.h"
#include "playback/CSoundEngine.h"
#include "playback/CTagReader.h"
#include "remote/ServerView.h"
#include "remote/SpectrumState.h"

class QTimer;

namespace tembrel::remote {

// The server controller: the messaging host, the command handler, the start
// and stop sequences, the timers and the log. It owns no widget; it talks to
// a ServerView.
class CServerDlg : public net::CNDKHost {
public:
    static constexpr int kMaxUsers = 20;
    static constexpr int kDefaultPort = 6000;
    static constexpr int kStatusTimerId = 2311;
    static constexpr int kSpectrumTimerId = 2312;
    static constexpr int kSpectrumBands = 16;
    static constexpr std::int32_t kIdJoin = 0;
    static constexpr std::int32_t kIdLeave = 1;
    static constexpr std::int32_t kIdCommand = 2;
    static constexpr std::int32_t kIdBigMessage = 3;
    static constexpr int kSeekStepMs = 2000;
    static constexpr int kVolumeStep = 16;
    static constexpr float kSeekScale = 0.0035211267f;

    struct Options {
        // Uploads are stored here and nowhere else.
        std::filesystem::path uploadDir;
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
    void selectUserLine(int index);
    void setSpectrumRate(SpectrumRate rate);

    // Applies a stored DspCode (1-4; anything else changes nothing).
    void applyDspCode(int code);
    [[nodiscard]] int currentDspCode() const noexcept;
    [[nodiscard]] const SpectrumState& spectrumState() const noexcept { return spectrum_; }

    // The server log.
    void appendLog(std::string_view text);
    void logEvent(std::string_view text);

    [[nodiscard]] int selectedUserId() const;
    [[nodiscard]] const std::map<std::int32_t, std::string>& userNames() const noexcept {
        return userNames_;
    }
    [[nodiscard]] const std::vector<std::string>& userLines() const noexcept { return userLines_; }

    [[nodiscard]] playback::CSoundEngine& soundEngine() noexcept { return engine_; }
    [[nodiscard]] playback::CPlaylist& playlist() noexcept { return playlist_; }
    // Where "Pause" resumes: set when a paused track is put back at start-up.
    void setPausedPosition(std::int32_t milliseconds) noexcept { pausedPosition_ = milliseconds; }
    [[nodiscard]] library::CMediaLibrary& mediaLibrary() noexcept { return library_; }
    [[nodiscard]] ServerView& view() noexcept { return view_; }

    // Timer expiry (status 2311, spectrum 2312).
    void onTimer(int timerId);
    void pushStatus(net::CNDKMessage& message);
    void pushSpectrum(net::CNDKMessage& message);

protected:
    bool acceptsNewUser() override;
    void onUserJoined(std::int32_t userId) override;
    void onUserMessage(std::int32_t userId, net::CNDKMessage& message) override;
    void onUserDropped(std::int32_t userId, net::DropReason reason) override;
    void onPingMeasured(std::int32_t userId, std::uint32_t milliseconds) override;

private:
    // Session events (join and leave) and the user list.
    void handleJoin(std::int32_t userId, net::CNDKMessage& message);
    void addUserEntry(std::int32_t userId, const std::string& name);
    void removeUserEntry(std::int32_t userId);
    // Forgets every user: names, list lines, browsing choices.
    void clearUsers();
    [[nodiscard]] std::string userName(std::int32_t userId) const;
    // Sends to one user unless it has been dropped already; false when
    // nothing was sent.
    bool replyTo(std::int32_t userId, const net::CNDKMessage& message);

    // Commands.
    void handleCommand(std::int32_t userId, net::CNDKMessage& message);
    void handleBigMessage(std::int32_t userId, const net::CNDKMessage& message);
    void runTransportCommand(int commandIndex, std::int32_t userId, net::CNDKMessage& message,
                             const std::string& argument);

    // Library browsing and queueing.
    void getAlbums(std::int32_t userId, net::CNDKMessage& message, const std::string& argument);
    void getAlbumTracks(std::int32_t userId, net::CNDKMessage& message,
                        const std::string& argument);
    void playAlbumTrack(std::int32_t userId, net::CNDKMessage& message,
                        const std::string& argument);
    // Queues a track and answers; without an open path (an upload that could
    // not be stored) it answers as for a file that cannot be opened.
    void queueTrack(const std::optional<std::string>& openPath, const std::string& namePath,
                    std::int32_t userId, net::CNDKMessage& message);

    // Uploads and pictures.
    void startFile(std::int32_t userId, net::CNDKMessage& message);
    void sendFile(std::int32_t userId, net::CNDKMessage& message);
    void endFile(std::int32_t userId, net::CNDKMessage& message);
    void getDetail(std::int32_t userId, net::CNDKMessage& message, const std::string& argument);
    bool sendPicture(const std::filesystem::path& picturePath, std::int32_t userId);

    // Start and stop sequences.
    void startSequence();
    void stopSequence();

    // Timers.
    void armTimer(int timerId, int periodMs);
    void killTimer(int timerId);

    // A non-blocking error notice to the local user.
    void showError(std::string_view text);

    ServerView& view_;
    Options options_;
    playback::CSoundEngine engine_;
    playback::CTagReader tagReader_;
    playback::CPlaylist playlist_;
    library::CMediaLibrary library_;

    std::string portText_ = "6000";
    int listenPort_ = kDefaultPort;
    std::array<std::string, library::CMediaLibrary::kLocationCount> locations_{};

    std::map<std::int32_t, std::string> userNames_;
    // The users the host holds now (admitted and not dropped).
    std::set<std::int32_t> connectedUsers_;
    std::vector<std::string> userLines_;
    int selectedLine_ = -1;

    // Per-user browsing selection, kept for every user id.
    struct Selection {
        int artist = 0;
        int album = 0;
    };
    std::unordered_map<std::int32_t, Selection> selections_;

    std::int32_t pausedPosition_ = 0;
    SpectrumState spectrum_{};
    int checkedDspCode_ = 0;
    std::array<int, kSpectrumBands> bandValues_{};

    int statusTimerHandle_ = 0;
    int spectrumTimerHandle_ = 0;
    std::unique_ptr<QTimer> statusTimer_;
    std::unique_ptr<QTimer> spectrumTimer_;
    bool soundStarted_ = false;
    // The library holds a scan that no stop sequence has reset yet.
    bool libraryBuilt_ = false;
};

} // namespace tembrel::remote
