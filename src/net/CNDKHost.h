#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QHostAddress>

#include "net/AddressPolicy.h"

#include "net/CNDKArchive.h"
#include "net/CNDKMessage.h"
#include "net/DropReason.h"
#include "net/UserTransport.h"

namespace tembrel::net {

// The server side of the messaging layer: listens on a TCP port, admits
// connections as numbered users, reads their messages and hands them on,
// sends to one, all, or all but one, pings, and disconnects users. Runs on the
// Qt main thread's event loop; no call ever blocks on the network.
//
// Derived classes override the callbacks. Callbacks may call back into the
// host (send, drop) while they run.
class CNDKHost {
public:
    struct Limits {
        CNDKArchive::Limits codec{};
        // A user whose unsent bytes exceed this is dropped (SendFailed); a
        // single message larger than the limit is still always accepted when
        // nothing else is queued.
        std::size_t maxSendBacklog = std::size_t{16} << 20;
        // A user that leaves a message half-sent this long is dropped
        // (ReceiveFailed).
        std::chrono::milliseconds partialMessageTimeout{60'000};
        // A user whose unsent bytes stay above `stalledBacklog` without
        // falling below their level of `stalledTimeout` ago is dropped
        // (SendFailed): it has stopped reading, and what it holds is
        // released long before maxSendBacklog is reached. While above, its
        // own messages are not read, so it cannot make the server answer it
        // faster than it takes the answers.
        std::size_t stalledBacklog = std::size_t{1} << 20;
        std::chrono::milliseconds stalledTimeout{5'000};
    };

    // Where the TCP listener listens and which peers may connect.
    struct Exposure {
        std::vector<QHostAddress> listenAddresses; // empty: every interface
        AddressPolicy allowed = AddressPolicy::localNetworks();
    };

    CNDKHost();
    explicit CNDKHost(Limits limits);
    virtual ~CNDKHost();

    CNDKHost(const CNDKHost&) = delete;
    CNDKHost& operator=(const CNDKHost&) = delete;

    // Listens on all local addresses (IPv4 and IPv6). Port 0 picks a free
    // port, see listeningPort(). Call only while not hosting.
    [[nodiscard]] bool startHost(int port);
    // Sends the stop notice (-1) to every user, drops them all (-5, no
    // callbacks unless a send fails) and stops listening.
    void stopHost();
    [[nodiscard]] bool isHosting() const noexcept;
    // The port actually bound while hosting, else -1.
    [[nodiscard]] int listeningPort() const noexcept;
    [[nodiscard]] int userCount() const noexcept;
    // Why the last startHost() failed, e.g. "address already in use"; empty
    // after a success.
    [[nodiscard]] const std::string& listenError() const noexcept;

    // The listen addresses take effect at the next startHost(), the allowed
    // networks at once.
    void setExposure(Exposure exposure);
    [[nodiscard]] const AddressPolicy& addressPolicy() const noexcept;
    // The addresses given to setExposure() (empty: every interface), so that
    // other front ends can listen where the TCP listener does.
    [[nodiscard]] const std::vector<QHostAddress>& listenAddresses() const noexcept;
    // For front ends other than the TCP listener (the web server): whether a
    // peer at `address` may connect, asked before anything is served to it.
    // A refusal is logged like the listener's, with `cause` as its reason
    // (naming the front end, so that its refusals are told apart).
    [[nodiscard]] bool allowsPeer(const QHostAddress& address, std::string_view cause);
    // Receives the lines about refused connections (not allowed, or no room
    // for another user), at most one a minute per address and cause.
    void setConnectionLog(std::function<void(std::string_view line)> sink);

    // Admits a user that another front end (not the TCP listener) has
    // connected, exactly as the listener admits a TCP connection: refused
    // (acceptsNewUser() false, or no id left) it is closed (Discard) and 0 is
    // returned; admitted, it gets the next id, is started, onUserJoined() is
    // called and the id is returned.
    std::int32_t admitUser(std::unique_ptr<UserTransport> transport);

    bool sendToUser(std::int32_t userId, const CNDKMessage& message);
    bool sendToAllUsers(const CNDKMessage& message);
    bool sendToAllUsersExcept(std::int32_t userId, const CNDKMessage& message);
    bool dropUser(std::int32_t userId);
    void dropAllUsers();
    // While a user's input is held, none of its further messages is handed
    // on: what the current read brought is still handed on, the rest waits
    // in the connection (and the kernel), so a user whose command waits for
    // work elsewhere cannot pile up messages meanwhile. Releasing takes the
    // waiting input on a later turn of the event loop. Unknown ids are
    // ignored.
    void holdInput(std::int32_t userId);
    void releaseInput(std::int32_t userId);
    bool pingUser(std::int32_t userId);
    void pingAllUsers();

    // The millisecond tick count used by pings (32-bit, wrapping).
    [[nodiscard]] static std::uint32_t tickCount() noexcept;

protected:
    // Called for each accepted connection before it gets an id; false refuses
    // it (closed without any message, no id used up).
    [[nodiscard]] virtual bool acceptsNewUser() = 0;
    virtual void onUserJoined(std::int32_t userId) = 0;
    // Every received message except echo (-2), ping (-3) and leave (-4). The
    // handler may modify and send the message.
    virtual void onUserMessage(std::int32_t userId, CNDKMessage& message) = 0;
    virtual void onUserDropped(std::int32_t userId, DropReason reason) = 0;
    virtual void onPingMeasured(std::int32_t userId, std::uint32_t milliseconds);

private:
    class Impl;
    friend class Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tembrel::net
