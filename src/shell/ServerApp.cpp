// The running server's parts and its start-up and exit steps, shared by the
// window and the headless console.
#include "shell/ServerApp.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QStandardPaths>
#include <QThread>

#include <functional>
#include <system_error>

#include "shell/AudioChoice.h"
#include "shell/CommandLine.h"
#include "shell/ExposureSettings.h"
#include "shell/SettingsBinding.h"

namespace tembrel::shell {

namespace {

[[nodiscard]] std::filesystem::path defaultUploadDir() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return std::filesystem::path(data.toStdString()) / "tembrel-server" / "uploads";
}

// Beside an explicit settings file, so that servers run with different
// settings keep different playlists; else in the user's state folder.
[[nodiscard]] std::filesystem::path playlistFile(const ServerOptions& options) {
    if (options.settingsFile) {
        return std::filesystem::path(options.settingsFile->string() + ".playlist");
    }
    return PlaylistStateFile::defaultPath();
}

// The flag, else the stored "UploadQuota", else the default.
[[nodiscard]] std::uint64_t uploadQuota(const ServerOptions& options, const SettingsStore& settings,
                                        const std::function<void(std::string_view)>& log) {
    if (options.uploadQuotaBytes) {
        return *options.uploadQuotaBytes;
    }
    if (const auto stored = settings.loadOutput().uploadQuota) {
        if (const auto bytes = parseByteSize(*stored)) {
            return *bytes;
        }
        log("The stored UploadQuota \"" + *stored + "\" is not a size such as 2G; using 2G");
    }
    return remote::UploadSessions::kDefaultQuotaBytes;
}

[[nodiscard]] remote::CServerDlg::Options
controllerOptions(const ServerOptions& options, const SettingsStore& settings,
                  const std::function<void(std::string_view)>& log) {
    remote::CServerDlg::Options result;
    result.uploadDir = options.uploadDir.empty() ? defaultUploadDir() : options.uploadDir;
    result.uploadQuotaBytes = uploadQuota(options, settings, log);
    return result;
}

} // namespace

ServerApp::ServerApp(const ServerOptions& options, remote::ServerView& view)
    : view_(view), options_(options),
      settings_(options.settingsFile, [this](std::string_view line) { log(line); }),
      soundLibrary_(playback::createSystemSoundLibrary(
          outputSettings(options, settings_, [this](std::string_view line) { log(line); }),
          [this](std::string_view line) { logFromAnyThread(line); })),
      controller_(std::make_unique<remote::CServerDlg>(
          *soundLibrary_, view,
          controllerOptions(options, settings_, [this](std::string_view line) { log(line); }))) {
    logTarget_ = controller_.get();
}

ServerApp::~ServerApp() = default;

void ServerApp::log(std::string_view line) {
    if (logTarget_ != nullptr) {
        logTarget_->appendLog(line);
    } else {
        view_.logLineAppended(line);
    }
}

void ServerApp::logFromAnyThread(std::string_view line) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app != nullptr && QThread::currentThread() != app->thread()) {
        std::weak_ptr<int> alive = alive_;
        QMetaObject::invokeMethod(
            app,
            [this, alive, text = std::string(line)] {
                if (!alive.expired()) {
                    log(text);
                }
            },
            Qt::QueuedConnection);
        return;
    }
    log(line);
}

void ServerApp::initialise() {
    remote::CServerDlg& controller = *controller_;
    std::error_code error;
    const std::filesystem::path uploadDir =
        (options_.uploadDir.empty() ? defaultUploadDir() : options_.uploadDir);
    std::filesystem::create_directories(uploadDir, error);
    if (error) {
        controller.appendLog("Cannot create the upload folder " + uploadDir.string() + ": " +
                             error.message());
    }

    const LoadedSettings loaded = loadSettings(settings_, controller);
    const auto connectionLog = [&controller](std::string_view line) {
        controller.appendLog(line);
    };
    controller.setExposure(exposureFor(options_, loaded, connectionLog));
    controller.setConnectionLog(connectionLog);

    bool fieldsOverridden = false;
    if (options_.port) {
        controller.setPortText(std::to_string(*options_.port));
        fieldsOverridden = true;
    }
    if (!options_.locations.empty()) {
        for (int index = 0; index < library::CMediaLibrary::kLocationCount; ++index) {
            const auto slot = static_cast<std::size_t>(index);
            controller.setLocation(
                index, slot < options_.locations.size() ? options_.locations[slot] : std::string{});
        }
        fieldsOverridden = true;
    }
    if (fieldsOverridden) {
        controller.view().fieldsChanged();
    }
    if (options_.formats) {
        controller.setFormats(*options_.formats);
    }
    if (options_.spectrum) {
        // Nobody is connected yet, so the rate's notice reaches no one.
        controller.setSpectrumRate(*options_.spectrum);
    }

    if (loaded.keepPlaylist) {
        playlistKeeper_ = std::make_unique<ControllerPlaylistKeeper>(controller);
        playlistPersistence_ = std::make_unique<PlaylistPersistence>(
            PlaylistStateFile(playlistFile(options_)), *playlistKeeper_,
            [this](std::string_view line) { log(line); });
        playlistPersistence_->restore();
    }

    controller.playlist().clearPlayed();
    controller.updateServerButtons();
    controller.startStopServer();
    if (playlistKeeper_) {
        playlistKeeper_->resumePlayback();
        playlistPersistence_->start();
    }
    startWebRemote(loaded.webPort);
}

void ServerApp::startWebRemote(int storedPort) {
    if (options_.webOff || (storedPort == 0 && !options_.webPort && !options_.webOn)) {
        log("Web remote off");
        return;
    }
    const int port =
        options_.webPort.value_or(storedPort != 0 ? storedPort : web::WebRemote::kDefaultPort);
    web::WebRemote::Options webOptions;
    webOptions.serverLimits.maxUsers = remote::CServerDlg::kMaxUsers;
    webOptions.serverLimits.playlistCapacity = playback::CPlaylist::kPlaylistCapacity;
    auto remote = std::make_unique<web::WebRemote>(*controller_, webOptions);
    if (!remote->listen(port)) {
        log("The web remote cannot listen on port " + std::to_string(port));
        return;
    }
    webRemote_ = std::move(remote);
    for (const std::string& url : webRemote_->urls()) {
        log("Web remote: " + url);
    }
}

void ServerApp::exit() {
    saveExitSettings(settings_, *controller_);
    if (playlistPersistence_) {
        playlistPersistence_->save();
    }
}

void ServerApp::saveSettings() {
    shell::saveSettings(settings_, *controller_);
}

} // namespace tembrel::shell
