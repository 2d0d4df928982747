// Host inside: users that stop reading. Their input waits while their
// backlog is large, they are dropped when it stops going down, and the
// memory their backlog held goes back to the system.
#include "net/CNDKHostImpl.h"
#include "net/MemoryReturn.h"

namespace tembrel::net {

namespace {

// Sockets of dropped users are deleted on the next turn of the event loop;
// their memory is returned after that.
constexpr std::chrono::milliseconds kMemoryReturnDelay{200};

} // namespace

void CNDKHost::Impl::watchBacklog(const UserTransport& transport) {
    if (!backlogWatch_.isActive() && transport.backlog() >= limits_.stalledBacklog) {
        backlogWatch_.start();
    }
}

bool CNDKHost::Impl::updateWatch(CNDKPeer& peer, std::chrono::steady_clock::time_point now) {
    const std::size_t backlog = peer.transport->backlog();
    if (backlog < limits_.stalledBacklog) {
        peer.backlogWatched = false;
        return false;
    }
    // Any progress of the reader restarts the clock; a backlog that only
    // grows or stands still runs it out.
    if (!peer.backlogWatched || backlog < peer.backlogLow) {
        peer.backlogWatched = true;
        peer.backlogLowSince = now;
    }
    peer.backlogLow = backlog;
    return now - peer.backlogLowSince >= limits_.stalledTimeout;
}

void CNDKHost::Impl::checkBacklogs() {
    EventScope scope(*this);
    const auto now = std::chrono::steady_clock::now();
    std::vector<std::int32_t> stalled;
    std::vector<std::int32_t> resumed;
    bool watching = false;
    for (CNDKPeer& peer : peers_.entries()) {
        if (updateWatch(peer, now)) {
            stalled.push_back(peer.userId);
        } else if (peer.inputWaiting && !peer.backlogWatched) {
            peer.inputWaiting = false;
            resumed.push_back(peer.userId);
        }
        watching = watching || peer.backlogWatched;
    }
    if (!watching) {
        backlogWatch_.stop();
    }
    for (const std::int32_t userId : stalled) {
        removeUser(userId, UserTransport::CloseMode::Discard);
    }
    for (const std::int32_t userId : stalled) {
        notifyDropped(userId, DropReason::SendFailed);
    }
    for (const std::int32_t userId : resumed) {
        CNDKPeer* peer = peers_.find(userId);
        if (peer != nullptr && !peer->handingOn && !peer->inputHeld) {
            receive(userId, *peer->transport);
        }
    }
}

void CNDKHost::Impl::scheduleMemoryReturn() {
    if (memoryReturnScheduled_) {
        return;
    }
    memoryReturnScheduled_ = true;
    QTimer::singleShot(kMemoryReturnDelay, &context_, [this] {
        memoryReturnScheduled_ = false;
        returnFreedMemory();
    });
}

} // namespace tembrel::net
