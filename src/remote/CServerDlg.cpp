// The server controller's construction, its messaging-host callbacks, the
// dispatch by message identifier and the timers' routing.
#include "remote/CServerDlg.h"

#include <array>
#include <vector>

#include "protocol/MessageIds.h"
#include "protocol/ValueLayout.h"
#include "remote/EventText.h"

namespace tembrel::remote {

namespace {

// The caption of the notices the controller raises itself.
constexpr std::string_view kNoticeCaption = "Tembrel Server";

} // namespace

CServerDlg::CServerDlg(playback::SoundLibrary& soundLibrary, ServerView& view, Options options)
    : net::CNDKHost(options.hostLimits), view_(view), options_(std::move(options)), log_(view),
      engine_(soundLibrary), tagReader_(soundLibrary), playlist_(engine_, tagReader_),
      scanner_([this](std::string_view line) { appendLog(line); }), roster_(view),
      status_(playlist_, engine_, *this), spectrum_(engine_, *this, view),
      uploads_(options_.uploadDir, options_.hostLimits.codec.maxMessageBytes,
               options_.uploadQuotaBytes, options_.uploadIdleLimit),
      browser_(library_, playlist_, roster_, *this, log_),
      work_({[this](std::int32_t userId) { holdInput(userId); },
             [this](std::int32_t userId) {
                 releaseInput(userId);
             }}),
      commands_({engine_, playlist_, browser_, uploads_, status_, roster_, *this, log_,
                 soundLibrary, work_, options_.hostLimits.codec.maxMessageBytes}) {
    library_.setLogSink([this](std::string_view line) { appendLog(line); });
    // The next track's file is read ahead while this one plays, so the
    // advance at its end opens it at once.
    playlist_.setUpcomingHandler([this, &soundLibrary](const std::string& path) {
        work_.run(0, [&soundLibrary, path] {
            soundLibrary.prepareFile(path, playback::OpenPurpose::Playback);
        });
    });
    engine_.setNoticeSink([this](std::string_view caption, std::string_view text) {
        view_.showNotice(caption, text, ServerView::NoticeKind::Error);
    });
}

CServerDlg::~CServerDlg() {
    // Stop hosting while this object is whole: stopping may report failed
    // sends through onUserDropped, which the base destructor could not call.
    stopHost();
    playlist_.setUpcomingHandler({});
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
    roster_.userConnected(userId);
    usersPresenceChanged();
}

void CServerDlg::onUserMessage(std::int32_t userId, net::CNDKMessage& message) {
    switch (message.id()) {
    case protocol::kIdJoin:
        handleJoin(userId, message);
        break;
    case protocol::kIdCommand:
        commands_.handle(userId, message);
        break;
    case protocol::kIdBigMessage:
        handleBigMessage(userId, message);
        break;
    default:
        // Anything else, including the reserved ids a client may send, is
        // ignored without a trace.
        break;
    }
}

void CServerDlg::onPingMeasured(std::int32_t userId, std::uint32_t milliseconds) {
    const std::string name = roster_.userName(userId);
    log_.logUserEvent(userId, name, eventText(EventId::PingMeasured, name, milliseconds));
}

bool CServerDlg::replyTo(std::int32_t userId, const net::CNDKMessage& message) {
    // A user dropped while its message was being answered (or before a later
    // message of the same read was handed on) is gone: sending would only
    // report the drop again, with a second leave message to everyone.
    if (!roster_.isConnected(userId)) {
        return false;
    }
    return sendToUser(userId, message);
}

void CServerDlg::broadcast(const net::CNDKMessage& message) {
    sendToAllUsers(message);
}

void CServerDlg::usersPresenceChanged() {
    const bool present = roster_.anyoneConnected();
    status_.setUsersPresent(present);
    spectrum_.setUsersPresent(present);
}

void CServerDlg::showError(std::string_view text) {
    view_.showNotice(kNoticeCaption, text, ServerView::NoticeKind::Error);
}

void CServerDlg::onTimer(int timerId) {
    if (timerId == kStatusTimerId) {
        status_.timerExpired();
    } else if (timerId == kSpectrumTimerId) {
        spectrum_.timerExpired();
    }
}

void CServerDlg::handleBigMessage(std::int32_t userId, const net::CNDKMessage& message) {
    // Every value is read into a buffer of its own size; none is used further.
    std::array<std::uint8_t, protocol::kBigMessageFirstBytes> first{};
    message.readValue(0, first.data(), protocol::kBigMessageFirstBytes);
    std::int8_t oneByteA = 0;
    std::uint8_t oneByteB = 0;
    std::int16_t twoByteA = 0;
    std::uint16_t twoByteB = 0;
    std::int32_t fourByteA = 0;
    std::int32_t fourByteB = 0;
    std::uint32_t fourByteC = 0;
    std::uint32_t fourByteD = 0;
    float fourByteE = 0;
    std::int64_t eightByte = 0;
    message.readValue(1, oneByteA);
    message.readValue(2, oneByteB);
    message.readValue(3, twoByteA);
    message.readValue(4, twoByteB);
    message.readValue(5, fourByteA);
    message.readValue(6, fourByteB);
    message.readValue(7, fourByteC);
    message.readValue(8, fourByteD);
    message.readValue(9, fourByteE);
    message.readValue(10, eightByte);
    std::vector<std::uint8_t> last(protocol::kBigMessageLastBytes);
    message.readValue(11, last.data(), protocol::kBigMessageLastBytes);
    std::string text;
    message.readValue(12, text);

    const std::string name = roster_.userName(userId);
    log_.logUserEvent(userId, name, eventText(EventId::BigMessage, name));
}

} // namespace tembrel::remote
