#pragma once

// How one user's messages travel: the host (CNDKHost) keeps every user behind
// this interface, so ids, the user limit, broadcasts, the send backlog limit,
// drops and their reasons are the same whatever carries the messages. The TCP
// connection (TcpTransport) is one implementation; a message-oriented one
// (for example a WebSocket carrying one message per frame) is another.
//
// Everything runs on the host's thread (the Qt main thread). A transport is
// owned by the host from admission (CNDKHost::admitUser) until it is closed.
//
// The life of a transport, seen from the host:
//  1. created by its front end (listener, web server) and handed to
//     CNDKHost::admitUser(); if the host refuses the user, close(Discard) is
//     called and the transport is destroyed without ever being started;
//  2. start(events): from now on the transport reports to `events`;
//  3. on inputArrived(): the host calls takeInput() once, then takeMessages()
//     until it returns false, handing each message on in order; it repeats
//     this while hasUnreadInput(); afterwards, when inputState() is not Open,
//     the user is dropped with ReceiveFailed;
//  4. sending: the host encodes a message with encoding() (a broadcast once
//     per encoding in use), checks backlog() against its limit, and queue()s
//     the bytes; at the end of the event it calls flush() once;
//  5. close(Graceful or Discard) when the user is removed; no event may be
//     reported after close(). The object is destroyed once the current event
//     is over.
//
// A message-oriented transport (one whole message per frame, e.g. JSON in a
// WebSocket text frame) is expected to:
//  - keep received frames in arrival order and call inputArrived() for them
//    (once per frame or once per burst: the host takes everything waiting);
//  - in takeInput(), decode every waiting frame into messages it keeps, and
//    return false if any frame does not form an acceptable message (the host
//    then drops the user with ReceiveFailed and hands on none of them);
//  - in takeMessages(), move the decoded messages into the batch
//    (batch.slot() = message; batch.commit(frame size)), a group of about
//    kMessageGroupBytes at a time;
//  - have no partial-message state: inputState() is Open until the
//    connection ends (Ended), then it calls connectionLost();
//  - return from encoding() one object shared by all transports of its kind,
//    encoding a message as one frame's payload; queue() gets exactly one
//    encoded message per call and sends it as one frame;
//  - count in backlog() every byte queued and not yet taken by the system
//    (its own queue plus the socket's), so a user that stops reading is
//    dropped with SendFailed like any other.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include <QHostAddress>

#include "net/CNDKMessage.h"
#include "net/MessageBatch.h"

namespace tembrel::net {

// Turns a message into the bytes of one kind of transport. The object's
// address is the encoding's identity: every transport of one kind returns the
// same object, so a broadcast is encoded once per kind and the same bytes are
// queued to every user of that kind.
class MessageEncoding {
public:
    virtual ~MessageEncoding() = default;
    // Appends the encoded `message` to `out`.
    virtual void encode(const CNDKMessage& message, std::vector<std::uint8_t>& out) const = 0;
};

// The binary wire format (CNDKArchive), used by TCP users.
[[nodiscard]] const MessageEncoding& wireEncoding() noexcept;

class UserTransport {
public:
    // What a transport reports to the host that admitted it. Each call may
    // run callbacks of the application, which may send to and drop any user,
    // this one included (the transport object then stays alive until the
    // event is over, but is closed).
    class Events {
    public:
        // Input is waiting: the host takes it (see the life above).
        virtual void inputArrived(UserTransport& transport) = 0;
        // The connection ended or failed. Input that arrived before is still
        // taken and handed on, then the user is dropped (ReceiveFailed).
        virtual void connectionLost(UserTransport& transport) = 0;
        // The input can no longer be trusted, found outside takeInput() (for
        // example a message left unfinished too long): inputState() is now
        // Failed and the user is dropped (ReceiveFailed).
        virtual void inputFailed(UserTransport& transport) = 0;

    protected:
        ~Events() = default;
    };

    enum class CloseMode {
        Graceful, // queued messages are still delivered, then the connection closes
        Discard,  // queued messages are dropped and the connection is reset
    };

    enum class InputState {
        Open,   // more input may come
        Ended,  // the connection is gone; what arrived before is still taken
        Failed, // the input can never complete a message
    };

    UserTransport() = default;
    virtual ~UserTransport() = default;
    UserTransport(const UserTransport&) = delete;
    UserTransport& operator=(const UserTransport&) = delete;

    // Begins reporting to `events` (called once, when the user is admitted).
    // Input that arrived before must be reported now or soon after.
    virtual void start(Events& events) = 0;

    // Takes in everything received so far and checks it without handing
    // anything on; false when it does not form acceptable messages.
    [[nodiscard]] virtual bool takeInput() = 0;
    // Moves the next checked messages into the empty `batch`, at least one
    // and about kMessageGroupBytes of them; false when none is left.
    [[nodiscard]] virtual bool takeMessages(MessageBatch& batch) = 0;
    // True when input has arrived that takeInput() has not taken yet.
    [[nodiscard]] virtual bool hasUnreadInput() const = 0;
    [[nodiscard]] virtual InputState inputState() const noexcept = 0;

    // How this transport's messages are encoded for queue().
    [[nodiscard]] virtual const MessageEncoding& encoding() const noexcept = 0;
    // Whether messages can still be queued (the connection is open).
    [[nodiscard]] virtual bool isConnected() const = 0;
    // Bytes queued and not yet taken by the system.
    [[nodiscard]] virtual std::size_t backlog() const = 0;
    // Queues one message, encoded with encoding(), to leave at flush().
    virtual void queue(std::span<const std::uint8_t> encodedMessage) = 0;
    // The same for a message the caller no longer needs: a transport may
    // take its buffer instead of copying it (a large picture then costs no
    // copy); `encodedMessage` is left holding some other buffer.
    virtual void queueTaking(std::vector<std::uint8_t>& encodedMessage) { queue(encodedMessage); }
    [[nodiscard]] virtual bool hasQueued() const noexcept = 0;
    // Hands what was queued to the system, in one write where the transport
    // allows it. True when some of it reached the system at once.
    virtual bool flush() = 0;
    // Ends the connection; no event is reported afterwards.
    virtual void close(CloseMode mode) = 0;
    // The peer's address, for the log lines about refused connections; null
    // when the transport does not know it.
    [[nodiscard]] virtual QHostAddress peerAddress() const { return {}; }
};

} // namespace tembrel::net
