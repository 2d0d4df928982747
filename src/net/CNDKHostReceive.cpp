// Host inside: reading users' messages in batches, the control messages
// (echo, ping, leave) and the ways a receive fails.
#include "net/CNDKHostImpl.h"

namespace tembrel::net {

void CNDKHost::Impl::inputArrived(UserTransport& transport) {
    EventScope scope(*this);
    CNDKPeer* peer = peers_.find(&transport);
    if (peer == nullptr || peer->handingOn || peer->inputHeld || !peer->heldMessages.empty()) {
        // Not a user (any more), or a callback of this user's batch runs the
        // event loop: the receive under way takes the new input when the
        // batch is done, so the order is kept. Held input is taken when it
        // is released.
        return;
    }
    if (depth_ == 1) {
        // Not inside a callback that runs the event loop: this event serves
        // this user, whose answers leave first when it is over.
        servedUserId_ = peer->userId;
    }
    if (mustWait(transport)) {
        peer->inputWaiting = true;
        watchBacklog(transport);
        return;
    }
    receive(peer->userId, transport);
}

void CNDKHost::Impl::connectionLost(UserTransport& transport) {
    // What arrived before the end is still handed on; receive() then drops
    // the user, its transport's input having ended.
    inputArrived(transport);
}

void CNDKHost::Impl::inputFailed(UserTransport& transport) {
    EventScope scope(*this);
    const CNDKPeer* peer = peers_.find(&transport);
    // While a batch of this user is handed on, receive() drops the user when
    // the batch is done (unless the input has recovered by then).
    if (peer != nullptr && !peer->handingOn && !peer->inputHeld) {
        failReceive(peer->userId);
    }
}

void CNDKHost::Impl::holdInput(std::int32_t userId) {
    if (CNDKPeer* peer = peers_.find(userId)) {
        peer->inputHeld = true;
    }
}

void CNDKHost::Impl::releaseInput(std::int32_t userId) {
    CNDKPeer* peer = peers_.find(userId);
    if (peer == nullptr || !peer->inputHeld) {
        return;
    }
    peer->inputHeld = false;
    // Never inside the caller's own handling of this user's messages: the
    // waiting input is taken on the next turn, as if it had just arrived.
    QTimer::singleShot(0, &context_, [this, userId] {
        handOnHeld(userId);
        const CNDKPeer* released = peers_.find(userId);
        if (released != nullptr && !released->inputHeld && released->heldMessages.empty() &&
            !released->handingOn) {
            inputArrived(*released->transport);
        }
    });
}

void CNDKHost::Impl::handOnHeld(std::int32_t userId) {
    EventScope scope(*this);
    CNDKPeer* peer = peers_.find(userId);
    if (peer == nullptr || peer->handingOn) {
        return;
    }
    if (depth_ == 1) {
        servedUserId_ = userId;
    }
    peer->handingOn = true;
    while (peer != nullptr && !peer->inputHeld && !peer->heldMessages.empty()) {
        CNDKMessage message = std::move(peer->heldMessages.front());
        peer->heldMessages.pop_front();
        handle(userId, message);
        peer = peers_.find(userId);
    }
    if (peer != nullptr) {
        peer->handingOn = false;
    }
}

void CNDKHost::Impl::receive(std::int32_t userId, UserTransport& transport) {
    const auto isCurrent = [&] {
        const CNDKPeer* peer = peers_.find(userId);
        return peer != nullptr && peer->transport.get() == &transport && !peer->inputHeld;
    };
    do {
        // The transport checks everything that has arrived before any of it
        // is handed on, so a malformed message among it hands on none.
        if (!transport.takeInput()) {
            failReceive(userId);
            return;
        }
        handOn(userId, transport);
        // Input that arrived while a callback ran the event loop is not
        // reported again (Qt does not signal it): it is taken here.
    } while (isCurrent() && transport.hasUnreadInput() && !mustWait(transport));

    if (isCurrent() && transport.hasUnreadInput()) {
        // The user's answers are piling up: its further input waits until
        // they have gone out.
        peers_.find(userId)->inputWaiting = true;
        watchBacklog(transport);
        return;
    }

    if (isCurrent() && transport.inputState() != UserTransport::InputState::Open) {
        // The connection ended, or a message stayed unfinished too long: what
        // arrived before has been handed on; the unfinished message is lost.
        failReceive(userId);
    }
}

bool CNDKHost::Impl::mustWait(const UserTransport& transport) const {
    return transport.isConnected() && transport.backlog() >= limits_.stalledBacklog;
}

void CNDKHost::Impl::handOn(std::int32_t userId, UserTransport& transport) {
    // The whole batch is handed on even if one of its messages leads to the
    // user's removal; the transport stays alive until the event is over.
    // Messages are built a group at a time to bound memory. Callbacks may
    // add and remove users, so the entry is looked up again afterwards.
    peers_.find(userId)->handingOn = true;
    std::unique_ptr<MessageBatch> batch = takeBatch();
    const auto held = [&] {
        const CNDKPeer* peer = peers_.find(userId);
        return peer != nullptr && peer->inputHeld;
    };
    while (!held() && transport.takeMessages(*batch)) {
        for (std::size_t i = 0; i < batch->size(); ++i) {
            if (held()) {
                // The rest of the read waits with the user's input, so that
                // even the host's own answers (echoes) keep their order.
                CNDKPeer* peer = peers_.find(userId);
                for (std::size_t rest = i; rest < batch->size(); ++rest) {
                    peer->heldMessages.push_back(std::move((*batch)[rest]));
                }
                break;
            }
            handle(userId, (*batch)[i]);
        }
        batch->clear();
    }
    giveBack(std::move(batch));
    if (CNDKPeer* peer = peers_.find(userId)) {
        peer->handingOn = false;
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
    if (removeUser(userId, UserTransport::CloseMode::Discard)) {
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
