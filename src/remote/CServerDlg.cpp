// The server controller's construction, its messaging-host callbacks and its
// two single-shot timers (status 2311, spectrum 2312).
#include "remote/CServerDlg.h"

#include <QTimer>

#include "remote/EventText.h"

namespace tembrel::remote {

namespace {

// The caption of the notices the controller raises itself.
constexpr std::string_view kNoticeCaption = "Tembrel Server";

} // namespace

CServerDlg::CServerDlg(playback::SoundLibrary& soundLibrary, ServerView& view, Options options)
    : net::CNDKHost(options.hostLimits), view_(view), options_(std::move(options)),
      engine_(soundLibrary), tagReader_(soundLibrary), playlist_(engine_, tagReader_),
      scanner_([this](std::string_view line) { appendLog(line); }),
      statusTimer_(std::make_unique<QTimer>()), spectrumTimer_(std::make_unique<QTimer>()) {
    library_.setLogSink([this](std::string_view line) { appendLog(line); });
    engine_.setNoticeSink([this](std::string_view caption, std::string_view text) {
        view_.showNotice(caption, text, ServerView::NoticeKind::Error);
    });

    statusTimer_->setSingleShot(true);
    QObject::connect(statusTimer_.get(), &QTimer::timeout, [this] { onTimer(kStatusTimerId); });
    // The spectrum period can be 16 ms; a coarse timer would drift by up to 5%.
    spectrumTimer_->setSingleShot(true);
    spectrumTimer_->setTimerType(Qt::PreciseTimer);
    QObject::connect(spectrumTimer_.get(), &QTimer::timeout, [this] { onTimer(kSpectrumTimerId); });
}

CServerDlg::~CServerDlg() {
    statusTimer_->stop();
    spectrumTimer_->stop();
    // Stop hosting while this object is whole: stopping may report failed
    // sends through onUserDropped, which the base destructor could not call.
    stopHost();
}

void CServerDlg::setLocation(int index, std::string path) {
    if (index >= 0 && index < library::CMediaLibrary::kLocationCount) {
        locations_[static_cast<std::size_t>(index)] = std::move(path);
    }
}

bool CServerDlg::acceptsNewUser() {
    return userCount() < kMaxUsers;
}

void CServerDlg::onUserJoined(std::int32_t userId) {
    // Only the bookkeeping of who can be answered; a user appears in the
    // list when its join message arrives.
    connectedUsers_.insert(userId);
}

void CServerDlg::onUserMessage(std::int32_t userId, net::CNDKMessage& message) {
    switch (message.id()) {
    case kIdJoin:
        handleJoin(userId, message);
        break;
    case kIdCommand:
        handleCommand(userId, message);
        break;
    case kIdBigMessage:
        handleBigMessage(userId, message);
        break;
    default:
        // Anything else, including the reserved ids a client may send, is
        // ignored without a trace.
        break;
    }
}

void CServerDlg::onPingMeasured(std::int32_t userId, std::uint32_t milliseconds) {
    logEvent(eventText(EventId::PingMeasured, userName(userId), milliseconds));
}

void CServerDlg::showError(std::string_view text) {
    view_.showNotice(kNoticeCaption, text, ServerView::NoticeKind::Error);
}

void CServerDlg::onTimer(int timerId) {
    net::CNDKMessage message;
    if (timerId == statusTimerHandle_ && statusTimerHandle_ != 0) {
        pushStatus(message);
    } else if (timerId == spectrumTimerHandle_ && spectrumTimerHandle_ != 0) {
        pushSpectrum(message);
    }
}

void CServerDlg::armTimer(int timerId, int periodMs) {
    // Like a window timer, the handle is the id itself; arming again restarts
    // the period.
    if (timerId == kStatusTimerId) {
        statusTimer_->start(periodMs);
        statusTimerHandle_ = timerId;
    } else if (timerId == kSpectrumTimerId) {
        spectrumTimer_->start(periodMs);
        spectrumTimerHandle_ = timerId;
    }
}

void CServerDlg::killTimer(int timerId) {
    if (timerId == kStatusTimerId) {
        statusTimer_->stop();
    } else if (timerId == kSpectrumTimerId) {
        spectrumTimer_->stop();
    }
}

} // namespace tembrel::remote
