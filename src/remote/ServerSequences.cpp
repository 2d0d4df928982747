// The start/stop toggle and its two sequences: listening, the library scan,
// the sound library and the spectrum stream, and taking them down again.
#include "remote/CServerDlg.h"
#include "remote/DecimalText.h"
#include "remote/EventText.h"

namespace tembrel::remote {

void CServerDlg::startStopServer() {
    const std::optional<std::int32_t> port = parseDecimalInteger(portText_);
    if (!port) {
        view_.portIntegerRequired();
        return;
    }
    listenPort_ = *port;
    if (isHosting()) {
        stopSequence();
    } else {
        startSequence();
    }
}

void CServerDlg::startSequence() {
    appendLog("Start Listening");
    if (startHost(listenPort_)) {
        updateServerButtons();
        logEvent(eventText(EventId::ServerStarted));
        appendLog("OK");
    } else {
        showError(eventText(EventId::CannotStart));
    }

    // A start that follows a failed listen finds the previous scan and the
    // sound library still in place: scan into an empty library again, and
    // keep the running sound library rather than starting it a second time.
    if (libraryBuilt_) {
        library_.reset();
    }
    scanLibrary();
    libraryBuilt_ = true;

    appendLog("Start FMOD");
    if (!soundStarted_) {
        engine_.start();
        soundStarted_ = true;
    }

    spectrum_.serverStarted();
}

void CServerDlg::scanLibrary() {
    // The scan runs on the worker; users are served from the library as it
    // is until the new one is complete and takes its place. A selection
    // that then addresses nothing answers "no such ...".
    scanner_.start(locations_, formats_, [this](library::CMediaLibrary& scanned) {
        library_.replaceContents(std::move(scanned));
    });
}

void CServerDlg::rescanLibrary() {
    if (!isHosting()) {
        startStopServer();
        return;
    }
    appendLog("Rescan");
    scanLibrary();
}

void CServerDlg::stopSequence() {
    work_.cancelAll();
    spectrum_.serverStopped();
    engine_.shutdown();
    soundStarted_ = false;
    scanner_.cancel();
    library_.reset();
    libraryBuilt_ = false;
    stopHost();
    // The host dropped every user without telling this side; the list shows
    // connected users, so it is emptied with them.
    clearUsers();
    updateServerButtons();
    logEvent(eventText(EventId::ServerStopped));
}

void CServerDlg::updateServerButtons() {
    view_.hostingChanged(isHosting());
}

} // namespace tembrel::remote
