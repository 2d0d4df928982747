// The tests' loopback client over the shared client connection: waits in
// short slices with the Qt event loop pumped between them.
#include "support/TestClient.h"

#include <chrono>
#include <thread>

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace tembrel::test {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Longest single wait on the socket before the event loop gets another turn.
constexpr milliseconds kSlice{2};
// A send that cannot hand its bytes to the kernel for this long fails.
constexpr milliseconds kSendTimeout{10'000};

void processQtEvents() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

int msLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Everything is handed on: the tests look at pings and notices themselves.
constexpr client::ControlPolicy kHandEverythingOn{.answerPings = false, .noticesEnd = false};

} // namespace

TestClient::TestClient() : connection_(kSendTimeout, kHandEverythingOn) {
    connection_.setWaitHook(processQtEvents, kSlice);
}

TestClient::~TestClient() {
    close();
}

bool TestClient::connectTo(quint16 port, int timeoutMs) {
    close();
    if (!connection_.open("127.0.0.1", port, milliseconds(timeoutMs))) {
        return false;
    }
    // Let a host in this process see the connection at once.
    processQtEvents();
    return true;
}

bool TestClient::send(const net::CNDKMessage& m) {
    if (!connection_.send(m)) {
        return false;
    }
    processQtEvents();
    return true;
}

bool TestClient::sendRaw(std::span<const std::uint8_t> bytes) {
    if (!connection_.sendRaw(bytes)) {
        return false;
    }
    processQtEvents();
    return true;
}

void TestClient::reportMalformed() {
    if (connection_.receivedMalformed() && !malformedReported_) {
        malformedReported_ = true;
        ADD_FAILURE() << "the server sent bytes that do not form a message";
    }
}

std::optional<net::CNDKMessage> TestClient::next(int timeoutMs) {
    if (!held_.empty()) {
        net::CNDKMessage message = std::move(held_.front());
        held_.pop_front();
        return message;
    }
    net::CNDKMessage message;
    if (connection_.poll(message, milliseconds(timeoutMs)) ==
        client::BlockingConnection::Wait::Message) {
        return message;
    }
    reportMalformed();
    return std::nullopt;
}

std::optional<net::CNDKMessage> TestClient::receive(int timeoutMs) {
    const auto deadline = Clock::now() + milliseconds(timeoutMs);
    for (;;) {
        if (auto message = next(msLeft(deadline))) {
            return message;
        }
        // A signal can end a wait early; only the deadline or the end of the
        // connection ends this one.
        if (!connection_.isOpen() || Clock::now() >= deadline) {
            return std::nullopt;
        }
    }
}

std::optional<std::vector<net::CNDKMessage>>
TestClient::receiveUntil(const std::function<bool(const net::CNDKMessage&)>& pred, int timeoutMs) {
    const auto deadline = Clock::now() + milliseconds(timeoutMs);
    std::size_t checked = 0;
    for (;;) {
        for (; checked < held_.size(); ++checked) {
            if (pred(held_[checked])) {
                std::vector<net::CNDKMessage> received(
                    std::make_move_iterator(held_.begin()),
                    std::make_move_iterator(held_.begin() + static_cast<std::ptrdiff_t>(checked) +
                                            1));
                held_.erase(held_.begin(),
                            held_.begin() + static_cast<std::ptrdiff_t>(checked) + 1);
                return received;
            }
        }
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        net::CNDKMessage message;
        switch (connection_.poll(message, std::min(kSlice, milliseconds(msLeft(deadline))))) {
        case client::BlockingConnection::Wait::Message:
            held_.push_back(std::move(message));
            break;
        case client::BlockingConnection::Wait::Idle:
            break;
        case client::BlockingConnection::Wait::Failed:
            reportMalformed();
            return std::nullopt;
        }
    }
}

std::vector<net::CNDKMessage> TestClient::drain(int quietMs) {
    std::vector<net::CNDKMessage> all(std::make_move_iterator(held_.begin()),
                                      std::make_move_iterator(held_.end()));
    held_.clear();
    net::CNDKMessage message;
    while (connection_.poll(message, milliseconds(quietMs)) ==
           client::BlockingConnection::Wait::Message) {
        all.push_back(std::move(message));
    }
    reportMalformed();
    return all;
}

bool TestClient::waitForClose(int timeoutMs) {
    const auto deadline = Clock::now() + milliseconds(timeoutMs);
    while (!connection_.ended()) {
        if (!connection_.isOpen() || Clock::now() >= deadline) {
            return false;
        }
        net::CNDKMessage message;
        if (connection_.poll(message, std::min(kSlice, milliseconds(msLeft(deadline)))) ==
            client::BlockingConnection::Wait::Message) {
            held_.push_back(std::move(message));
        }
    }
    reportMalformed();
    return true;
}

void TestClient::close() {
    connection_.close();
    held_.clear();
}

bool TestClient::isConnected() const {
    return connection_.isOpen();
}

void TestClient::setAutoAnswerPings(bool on) {
    connection_.setAnswerPings(on);
}

net::CNDKMessage makeCommand(std::string_view command, std::optional<std::string_view> argument) {
    net::CNDKMessage message(2);
    message.putText(0, command);
    if (argument) {
        message.putText(1, *argument);
    }
    return message;
}

std::string textAt(const net::CNDKMessage& message, int index) {
    std::string text;
    message.readValue(index, text);
    return text;
}

bool waitUntil(const std::function<bool()>& pred, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        processQtEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void pumpEvents(int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    do {
        processQtEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } while (Clock::now() < deadline);
}

} // namespace tembrel::test
