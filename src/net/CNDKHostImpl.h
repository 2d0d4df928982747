#pragma once

// Inside of CNDKHost: the listener, the user table and the event handling
// that turns socket notifications into callbacks.

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <QObject>
#include <QTcpServer>
#include <QTimer>

#include "net/CNDKHost.h"
#include "net/CNDKPeerTable.h"
#include "net/DeleteLater.h"
#include "net/MessageBatch.h"
#include "net/RefusalLog.h"

namespace tembrel::net {

class CNDKHost::Impl final : private UserTransport::Events {
public:
    // How often the backlogs above the stalled level are looked at.
    static constexpr std::chrono::milliseconds kBacklogWatchInterval{100};

    Impl(CNDKHost& host, const Limits& limits);
    ~Impl();

    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    bool startHost(int port);
    void stopHost();
    [[nodiscard]] bool isHosting() const noexcept { return !listeners_.empty(); }
    [[nodiscard]] int listeningPort() const noexcept;
    [[nodiscard]] int userCount() const noexcept { return peers_.count(); }
    [[nodiscard]] const std::string& listenError() const noexcept { return listenError_; }
    void setExposure(Exposure exposure) { exposure_ = std::move(exposure); }
    [[nodiscard]] const AddressPolicy& addressPolicy() const noexcept { return exposure_.allowed; }
    [[nodiscard]] const std::vector<QHostAddress>& listenAddresses() const noexcept {
        return exposure_.listenAddresses;
    }
    [[nodiscard]] bool allowsPeer(const QHostAddress& address, std::string_view cause);
    void setConnectionLog(RefusalLog::Sink sink) { refusals_.setSink(std::move(sink)); }

    std::int32_t admitUser(std::unique_ptr<UserTransport> transport);
    bool sendToUser(std::int32_t userId, const CNDKMessage& message);
    bool sendToAll(const CNDKMessage& message, std::int32_t exceptUserId);
    bool dropUser(std::int32_t userId, DropReason reason);
    void holdInput(std::int32_t userId);
    void releaseInput(std::int32_t userId);
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

    // Opens one listener on `address`; false (and listenError_ set) when it
    // cannot listen.
    [[nodiscard]] bool listenOn(const QHostAddress& address, int port);
    void closeListeners();
    void onNewConnection(QTcpServer& listener);
    // UserTransport::Events
    void inputArrived(UserTransport& transport) override;
    void connectionLost(UserTransport& transport) override;
    void inputFailed(UserTransport& transport) override;
    // Takes and hands on what the user's transport received; a transport
    // whose input has ended or failed then has its user dropped.
    void receive(std::int32_t userId, UserTransport& transport);
    void handOn(std::int32_t userId, UserTransport& transport);
    // Hands on the messages that waited while the user's input was held.
    void handOnHeld(std::int32_t userId);
    // Whether the user's input must wait: its backlog is above the stalled
    // level, so it is not answered faster than it reads.
    [[nodiscard]] bool mustWait(const UserTransport& transport) const;
    void handle(std::int32_t userId, CNDKMessage& message);
    void failReceive(std::int32_t userId);

    // Users whose backlog is above the stalled level: their input waits, and
    // those whose backlog has not gone down for the stalled time are dropped.
    void watchBacklog(const UserTransport& transport);
    void checkBacklogs();
    // Marks the watch of one user at `now`; true when it has stalled.
    [[nodiscard]] bool updateWatch(CNDKPeer& peer, std::chrono::steady_clock::time_point now);
    // Gives the memory a large dropped backlog held back to the system, once
    // its socket is gone.
    void scheduleMemoryReturn();

    // Whether a message of `bytes` may be queued for the user: it is
    // connected and its backlog stays within the limit.
    [[nodiscard]] bool hasRoom(const UserTransport& transport, std::size_t bytes) const;
    // Queues one encoded message for the user if there is room; false when
    // the send fails.
    [[nodiscard]] bool queue(UserTransport& transport, std::span<const std::uint8_t> bytes);
    // After bytes were queued for the user: the flush and the backlog watch.
    void queued(const UserTransport& transport);
    // The bytes of the message being broadcast in `encoding`, encoded on
    // first use.
    [[nodiscard]] std::span<const std::uint8_t> broadcastBytes(const CNDKMessage& message,
                                                               const MessageEncoding& encoding);
    bool removeUser(std::int32_t userId, UserTransport::CloseMode mode);
    void retire(std::unique_ptr<UserTransport> transport, UserTransport::CloseMode mode);
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
    std::vector<std::unique_ptr<QTcpServer, DeleteLater>> listeners_;
    Exposure exposure_;
    std::string listenError_;
    RefusalLog refusals_;
    QTimer backlogWatch_;
    bool memoryReturnScheduled_ = false;
    CNDKPeerTable peers_;
    std::vector<std::unique_ptr<UserTransport>> retired_;
    std::vector<std::unique_ptr<MessageBatch>> spareBatches_;
    // A broadcast, encoded once per encoding in use; the buffers are kept
    // for the next one.
    struct Encoded {
        const MessageEncoding* encoding = nullptr;
        std::vector<std::uint8_t> bytes;
        bool current = false; // holds the message being broadcast
    };
    std::vector<Encoded> broadcast_;
    std::vector<std::uint8_t> unicast_; // a message for one user
    // The user whose received messages the current event hands on (0 when
    // the event is not a read): answered first when the event is over.
    std::int32_t servedUserId_ = 0;
    int depth_ = 0;
    bool afterEventScheduled_ = false;
    bool destroying_ = false;
    int port_ = -1;
};

} // namespace tembrel::net
