#pragma once

#include <memory>
#include <string_view>

#include "playback/SoundLibrary.h"
#include "remote/CServerDlg.h"
#include "remote/ServerView.h"
#include "shell/ServerOptions.h"
#include "shell/SettingsStore.h"
#include "web/WebRemote.h"

namespace tembrel::shell {

// Everything a running server owns, shared by the window and the headless
// console: the sound library, the settings store and the controller, and the
// start-up and exit steps around them.
class ServerApp {
public:
    ServerApp(const ServerOptions& options, remote::ServerView& view);
    ~ServerApp();

    // Loads the settings, applies the command-line overrides, clears the
    // played marks, updates the buttons and starts the server.
    void initialise();
    // Saves the exit settings (volume and spectrum rate).
    void exit();
    // The save button.
    void saveSettings();

    [[nodiscard]] remote::CServerDlg& controller() noexcept { return *controller_; }
    // The web remote while it listens, else null.
    [[nodiscard]] const web::WebRemote* webRemote() const noexcept { return webRemote_.get(); }

private:
    // A line for the server log from the sound library or the settings
    // store; before the controller exists it goes to the view directly.
    void log(std::string_view line);
    // The same from any thread: the log belongs to the main thread.
    void logFromAnyThread(std::string_view line);
    // Starts the web remote on the port the command line or the settings
    // give (`storedPort` 0: off) and logs its addresses.
    void startWebRemote(int storedPort);

    // Expires with this object, so queued log lines never outlive it.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    remote::ServerView& view_;
    // Set once the controller is constructed (it is declared last).
    remote::CServerDlg* logTarget_ = nullptr;
    ServerOptions options_;
    SettingsStore settings_; // before the sound library, which it configures
    std::unique_ptr<playback::SoundLibrary> soundLibrary_;
    // Declared before the controller so that it goes last: the controller's
    // host, stopping, still tells the web users (their sockets belong to the
    // web remote). Set by initialise().
    std::unique_ptr<web::WebRemote> webRemote_;
    std::unique_ptr<remote::CServerDlg> controller_;
};

} // namespace tembrel::shell
