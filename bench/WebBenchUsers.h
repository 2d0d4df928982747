// The users of the web remote's benchmark, TCP and WebSocket behind one
// interface that reports the id and value-0 name of each received message.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>

#include "WebSocketClient.h"
#include "connection/BlockingConnection.h"
#include "net/CNDKMessage.h"

namespace tembrel::bench {

[[noreturn]] inline void benchFail(const std::string& what) {
    std::fprintf(stderr, "bench_web_remote: %s\n", what.c_str());
    std::exit(1);
}

using net::CNDKMessage;

// One user of either kind, seen as names of the messages it receives.
class User {
public:
    virtual ~User() = default;
    [[nodiscard]] virtual int fd() const = 0;
    virtual void send(const CNDKMessage& message) = 0;
    // Reads what has arrived (waiting up to waitMs) and returns the value-0
    // names and ids of the complete messages, in order.
    virtual void read(int waitMs, const std::function<void(int id, std::string_view)>& seen) = 0;
};

class TcpUser final : public User {
public:
    explicit TcpUser(int port) : connection_(std::chrono::milliseconds(5000)) {
        if (!connection_.open("127.0.0.1", port)) {
            benchFail("a TCP user cannot connect");
        }
    }
    [[nodiscard]] int fd() const override { return connection_.fd(); }
    void send(const CNDKMessage& message) override {
        if (!connection_.send(message)) {
            benchFail("a TCP send failed");
        }
    }
    void read(int waitMs, const std::function<void(int, std::string_view)>& seen) override {
        if (connection_.readAvailable(std::chrono::milliseconds(waitMs)) ==
            client::BlockingConnection::Wait::Failed) {
            benchFail("the server closed a TCP user");
        }
        CNDKMessage message;
        while (connection_.takeBuffered(message)) {
            std::string name;
            message.readValue(0, name);
            seen(message.id(), name);
        }
    }

private:
    client::BlockingConnection connection_;
};

class WebUser final : public User {
public:
    explicit WebUser(int port) {
        if (!client_.connectTo(port)) {
            benchFail("a web user cannot connect");
        }
    }
    [[nodiscard]] int fd() const override { return client_.fd(); }
    void send(const CNDKMessage& message) override {
        if (!client_.send(message)) {
            benchFail("a WebSocket send failed");
        }
    }
    // Only the id and value 0 are looked at: the start of every frame is
    // {"id":N,"values":[{"type":"Text","value":"NAME"...
    void read(int waitMs, const std::function<void(int, std::string_view)>& seen) override {
        if (!client_.readAvailable(waitMs)) {
            benchFail("the server closed a web user");
        }
        static constexpr std::string_view kValue = R"("value":")";
        while (auto frame = client_.nextFrame()) {
            const int id = std::atoi(frame->c_str() + 6);
            const std::size_t at = frame->find(kValue);
            const std::size_t start = at == std::string::npos ? frame->size() : at + kValue.size();
            const std::size_t end = std::min(frame->find('"', start), frame->size());
            seen(id, std::string_view(*frame).substr(start, end - start));
        }
    }

private:
    WebSocketClient client_;
};

} // namespace tembrel::bench
