#pragma once

// A CNDKHost for tests: records every callback in order, admits a bounded
// number of users, and lets a test act from inside a callback.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "net/CNDKHost.h"
#include "support/TestClient.h"

namespace tembrel::test {

struct HostEvent {
    enum class Kind { Joined, Message, Dropped, Ping };
    Kind kind;
    std::int32_t userId = 0;
    net::CNDKMessage message{};     // Message
    net::DropReason reason{};       // Dropped
    std::uint32_t milliseconds = 0; // Ping
    int usersAtCall = 0;            // userCount() when the callback ran
};

class RecordingHost : public net::CNDKHost {
public:
    RecordingHost() = default;
    explicit RecordingHost(Limits limits) : CNDKHost(limits) {}

    std::vector<HostEvent> events;
    int maxUsers = 20;
    int refused = 0;
    std::function<void(std::int32_t, net::CNDKMessage&)> onMessage;
    std::function<void(std::int32_t, net::DropReason)> onDropped;

    // Starts on a free port; the port for clients.
    quint16 start() {
        if (!startHost(0)) {
            return 0;
        }
        return static_cast<quint16>(listeningPort());
    }

    [[nodiscard]] std::vector<HostEvent> eventsOf(HostEvent::Kind kind) const {
        std::vector<HostEvent> found;
        for (const HostEvent& e : events) {
            if (e.kind == kind) {
                found.push_back(e);
            }
        }
        return found;
    }
    [[nodiscard]] std::size_t count(HostEvent::Kind kind) const { return eventsOf(kind).size(); }
    [[nodiscard]] std::optional<HostEvent> lastDropOf(std::int32_t userId) const {
        std::optional<HostEvent> found;
        for (const HostEvent& e : events) {
            if (e.kind == HostEvent::Kind::Dropped && e.userId == userId) {
                found = e;
            }
        }
        return found;
    }
    // The id the host gave the most recently admitted user (0 if none).
    [[nodiscard]] std::int32_t lastJoined() const {
        const auto joined = eventsOf(HostEvent::Kind::Joined);
        return joined.empty() ? 0 : joined.back().userId;
    }

    // Connects `client` and waits until the host has admitted it; the id, or
    // 0 on failure.
    std::int32_t admit(TestClient& client, quint16 port) {
        const std::size_t before = count(HostEvent::Kind::Joined);
        if (!client.connectTo(port) ||
            !waitUntil([&] { return count(HostEvent::Kind::Joined) > before; })) {
            return 0;
        }
        return lastJoined();
    }

protected:
    bool acceptsNewUser() override {
        if (userCount() < maxUsers) {
            return true;
        }
        ++refused;
        return false;
    }
    void onUserJoined(std::int32_t userId) override {
        events.push_back({HostEvent::Kind::Joined, userId, {}, {}, 0, userCount()});
    }
    void onUserMessage(std::int32_t userId, net::CNDKMessage& message) override {
        events.push_back({HostEvent::Kind::Message, userId, message, {}, 0, userCount()});
        if (onMessage) {
            onMessage(userId, message);
        }
    }
    void onUserDropped(std::int32_t userId, net::DropReason reason) override {
        events.push_back({HostEvent::Kind::Dropped, userId, {}, reason, 0, userCount()});
        if (onDropped) {
            onDropped(userId, reason);
        }
    }
    void onPingMeasured(std::int32_t userId, std::uint32_t milliseconds) override {
        events.push_back({HostEvent::Kind::Ping, userId, {}, {}, milliseconds, userCount()});
    }
};

} // namespace tembrel::test
