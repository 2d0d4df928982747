// A blocking loopback client for the end-to-end benchmarks: it runs on a
// thread of its own while the server runs the Qt event loop on the main
// thread, and speaks the message wire format through the codec.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "net/CNDKArchive.h"
#include "net/CNDKMessage.h"

namespace tembrel::bench {

class LoopbackClient {
public:
    LoopbackClient() = default;
    ~LoopbackClient() { close(); }
    LoopbackClient(const LoopbackClient&) = delete;
    LoopbackClient& operator=(const LoopbackClient&) = delete;

    [[nodiscard]] bool connectTo(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0) {
            return false;
        }
        const int one = 1;
        (void)::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }

    [[nodiscard]] int fd() const noexcept { return fd_; }

    void close() noexcept {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

    [[nodiscard]] bool sendAll(std::span<const std::uint8_t> bytes) const {
        while (!bytes.empty()) {
            const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent <= 0) {
                return false;
            }
            bytes = bytes.subspan(static_cast<std::size_t>(sent));
        }
        return true;
    }

    [[nodiscard]] bool send(const net::CNDKMessage& message) {
        encoded_.clear();
        net::CNDKArchive::encode(message, encoded_);
        return sendAll(encoded_);
    }

    // Reads whatever the socket holds (waiting up to `waitMs` for the first
    // byte); false when the connection ended.
    [[nodiscard]] bool readAvailable(int waitMs) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, waitMs) <= 0) {
            return true;
        }
        const std::size_t old = input_.size();
        input_.resize(old + kReadBytes);
        const ssize_t got = ::recv(fd_, input_.data() + old, kReadBytes, 0);
        input_.resize(old + (got > 0 ? static_cast<std::size_t>(got) : 0));
        return got > 0;
    }

    // The next complete message already read, if any.
    [[nodiscard]] std::optional<net::CNDKMessage> nextBuffered() {
        if (consumed_ == input_.size()) {
            input_.clear();
            consumed_ = 0;
            return std::nullopt;
        }
        net::CNDKMessage message;
        std::size_t used = 0;
        const auto bytes = std::span<const std::uint8_t>(input_).subspan(consumed_);
        if (codec_.decode(bytes, message, used) != net::CNDKArchive::Result::Complete) {
            compact();
            return std::nullopt;
        }
        consumed_ += used;
        return message;
    }

    // The next message whose value 0 is `name`, skipping others; nothing on
    // timeout or end of connection.
    [[nodiscard]] std::optional<net::CNDKMessage> receiveNamed(std::string_view name,
                                                               int timeoutMs = 30'000) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            while (auto message = nextBuffered()) {
                std::string text;
                message->readValue(0, text);
                if (text == name) {
                    return message;
                }
            }
            if (Clock::now() >= deadline || !readAvailable(kSliceMs)) {
                return std::nullopt;
            }
        }
    }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kReadBytes = 256 * 1024;
    static constexpr int kSliceMs = 50;

    void compact() {
        input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(consumed_));
        consumed_ = 0;
    }

    int fd_ = -1;
    std::vector<std::uint8_t> input_;
    std::size_t consumed_ = 0;
    std::vector<std::uint8_t> encoded_;
    net::CNDKArchive codec_;
};

} // namespace tembrel::bench
