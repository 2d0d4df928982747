#pragma once

// Inside of CNDKHost: the listener, the user table and the event handling
// that turns socket notifications into callbacks.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include <QObject>
#include <QTcpServer>

#include "net/CNDKHost.h"
#include "net/CNDKPeerTable.h"
#include "net/MessageBatch.h"

namespace tembrel::net {

class CNDKHost::Impl {
public:
    Impl(CNDKHost& host, const Limits& limits);
    ~Impl();

    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    bool startHost(int port);
    void stopHost();
    [[nodiscard]] bool isHosting() const noexcept { return listener_ != nullptr; }
    [[nodiscard]] int listeningPort() const noexcept;
    [[nodiscard]] int userCount() const noexcept { return peers_.count(); }

    bool sendToUser(std::int32_t userId, const CNDKMessage& message);
    bool sendToAll(const CNDKMessage& message, std::int32_t exceptUserId);
    bool dropUser(std::int32_t userId, DropReason reason);
    void dropAllUsers();

    // While set (the host is being destroyed) no callback is made: the
    // derived class is already gone.
    void beginDestruction() noexcept { destroying_ = true; }

private:
    // Marks the handling of one event. When the outermost scope ends, the
    // bytes queued during the event are handed to the sockets and the
    // connections removed during it are destroyed.
    class EventScope {
    public:
        explicit EventScope(Impl& impl) noexcept : impl_(impl) { ++impl_.depth_; }
        ~EventScope() {
            if (--impl_.depth_ == 0) {
                impl_.afterEvent();
            }
        }
        EventScope(const EventScope&) = delete;
        EventScope& operator=(const EventScope&) = delete;

    private:
        Impl& impl_;
    };

    void onNewConnection();
    void watch(CNDKSocket& socket);
    void onReadyRead(CNDKSocket* socket);
    void onConnectionLost(CNDKSocket* socket);
    // Reads and hands on what `socket` received; after a lost connection the
    // user is then dropped.
    void serve(CNDKSocket* socket, bool connectionLost);
    void onPartialTimeout(CNDKSocket* socket);
    void receive(std::int32_t userId, CNDKSocket& socket);
    void handle(std::int32_t userId, CNDKMessage& message);
    void failReceive(std::int32_t userId);

    // Whether a message of `bytes` may be queued for the user: it is
    // connected and its backlog stays within the limit.
    [[nodiscard]] bool hasRoom(const CNDKSocket& socket, std::size_t bytes) const;
    // Appends `bytes` to the user's output if there is room; false when the
    // send fails.
    [[nodiscard]] bool queue(CNDKSocket& socket, std::span<const std::uint8_t> bytes);
    bool removeUser(std::int32_t userId, CNDKSocket::CloseMode mode);
    void retire(std::unique_ptr<CNDKSocket> socket, CNDKSocket::CloseMode mode);
    void afterEvent();
    // Hands the queued bytes of the served user, then of everyone else, to
    // the sockets.
    void flushAll();
    void scheduleAfterEvent();

    void notifyDropped(std::int32_t userId, DropReason reason);

    [[nodiscard]] std::unique_ptr<MessageBatch> takeBatch();
    void giveBack(std::unique_ptr<MessageBatch> batch);

    // Declared first so that it is destroyed last: it is the Qt parent of
    // every socket, including those still closing.
    QObject context_;
    CNDKHost& host_;
    Limits limits_;
    CNDKArchive codec_;
    std::unique_ptr<QTcpServer, DeleteLater> listener_;
    CNDKPeerTable peers_;
    std::vector<std::unique_ptr<CNDKSocket>> retired_;
    std::vector<std::unique_ptr<MessageBatch>> spareBatches_;
    std::vector<std::uint8_t> encoded_; // a broadcast, encoded once for all users
    // The user whose received messages the current event hands on (0 when
    // the event is not a read): answered first when the event is over.
    std::int32_t servedUserId_ = 0;
    int depth_ = 0;
    bool afterEventScheduled_ = false;
    bool destroying_ = false;
    int port_ = -1;
};

} // namespace tembrel::net
