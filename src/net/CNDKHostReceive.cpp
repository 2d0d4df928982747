// Host inside: reading users' messages in batches, the control messages
// (echo, ping, leave) and the ways a receive fails.
#include <QTcpSocket>

#include "net/CNDKHostImpl.h"

namespace tembrel::net {

void CNDKHost::Impl::onReadyRead(CNDKSocket* socket) {
    serve(socket, false);
}

void CNDKHost::Impl::onConnectionLost(CNDKSocket* socket) {
    serve(socket, true);
}

void CNDKHost::Impl::serve(CNDKSocket* socket, bool connectionLost) {
    EventScope scope(*this);
    const std::int32_t userId = peers_.idOf(socket);
    if (userId <= 0) {
        return;
    }
    socket->lost_ = socket->lost_ || connectionLost;
    if (socket->handingOn_) {
        // A callback ran the event loop while this user's previous batch was
        // being handed on; the new bytes wait so that order is kept.
        socket->readAgain_ = true;
        return;
    }
    if (depth_ == 1) {
        // Not inside a callback that runs the event loop: this event serves
        // this user, whose answers leave first when it is over.
        servedUserId_ = userId;
    }
    receive(userId, *socket);
}

void CNDKHost::Impl::onPartialTimeout(CNDKSocket* socket) {
    EventScope scope(*this);
    const std::int32_t userId = peers_.idOf(socket);
    if (userId <= 0) {
        return;
    }
    if (socket->handingOn_) {
        // A callback runs the event loop; receive() drops the user when it
        // is back, unless the message has been completed by then.
        socket->partialExpired_ = true;
        return;
    }
    failReceive(userId);
}

void CNDKHost::Impl::receive(std::int32_t userId, CNDKSocket& socket) {
    do {
        socket.readAgain_ = false;
        socket.readAvailable();
        // Every message that has arrived is checked before any is handed on,
        // so a malformed one among them hands on none.
        if (!socket.checkInput(codec_)) {
            failReceive(userId);
            return;
        }
        // A message must arrive whole within the time limit from its start.
        if (!socket.hasPartialMessage()) {
            socket.partialTimer().stop();
            socket.partialExpired_ = false;
        } else if (socket.madeProgress()) {
            socket.partialTimer().start(limits_.partialMessageTimeout);
            socket.partialExpired_ = false;
        } else if (!socket.partialTimer().isActive() && !socket.partialExpired_) {
            socket.partialTimer().start(limits_.partialMessageTimeout);
        }
        // The whole batch is handed on even if one of its messages leads to
        // the user's removal; the socket object stays alive until the event
        // is over. Messages are built a group at a time to bound memory.
        socket.handingOn_ = true;
        std::unique_ptr<MessageBatch> batch = takeBatch();
        while (socket.takeMessages(*batch)) {
            for (std::size_t i = 0; i < batch->size(); ++i) {
                handle(userId, (*batch)[i]);
            }
            batch->clear();
        }
        socket.handingOn_ = false;
        giveBack(std::move(batch));
        // Qt does not signal bytes that arrive while a callback runs the
        // event loop inside the readyRead handler: they are picked up here.
    } while (peers_.find(userId) == &socket &&
             (socket.readAgain_ || socket.tcp().bytesAvailable() > 0));

    if ((socket.lost_ || socket.partialExpired_) && peers_.find(userId) == &socket) {
        // The connection ended, or a message stayed unfinished too long: what
        // arrived before has been handed on; the unfinished message is lost.
        failReceive(userId);
    }
}

void CNDKHost::Impl::handle(std::int32_t userId, CNDKMessage& message) {
    switch (message.id()) {
    case kNdkIdLeaving:
        (void)dropUser(userId, DropReason::UserLeft);
        break;
    case kNdkIdPing: {
        std::uint32_t sentAt = 0;
        message.readValue(0, sentAt);
        if (!destroying_) {
            host_.onPingMeasured(userId, CNDKHost::tickCount() - sentAt);
        }
        break;
    }
    case kNdkIdEcho:
        (void)sendToUser(userId, message);
        break;
    default:
        if (!destroying_) {
            host_.onUserMessage(userId, message);
        }
        break;
    }
}

void CNDKHost::Impl::failReceive(std::int32_t userId) {
    // The incoming stream can no longer be trusted (or is gone), so no drop
    // notice is written: the connection is reset.
    if (removeUser(userId, CNDKSocket::CloseMode::Discard)) {
        notifyDropped(userId, DropReason::ReceiveFailed);
    }
}

std::unique_ptr<MessageBatch> CNDKHost::Impl::takeBatch() {
    if (spareBatches_.empty()) {
        return std::make_unique<MessageBatch>();
    }
    std::unique_ptr<MessageBatch> batch = std::move(spareBatches_.back());
    spareBatches_.pop_back();
    return batch;
}

void CNDKHost::Impl::giveBack(std::unique_ptr<MessageBatch> batch) {
    batch->clear();
    spareBatches_.push_back(std::move(batch));
}

} // namespace tembrel::net
