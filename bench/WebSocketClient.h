// A blocking WebSocket client for the web remote's benchmarks: connects to
// the server's /ws on loopback with the page's own Origin, sends messages as
// masked text frames of their JSON form and splits what arrives into frames.
// Plain POSIX sockets like the TCP benchmark client, so the two transports
// are measured with clients of the same cost.
#pragma once

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/CNDKMessage.h"
#include "web/JsonCodec.h"

namespace tembrel::bench {

class WebSocketClient {
public:
    WebSocketClient() = default;
    ~WebSocketClient() { close(); }
    WebSocketClient(const WebSocketClient&) = delete;
    WebSocketClient& operator=(const WebSocketClient&) = delete;

    // Connects and completes the upgrade; false when either fails.
    [[nodiscard]] bool connectTo(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0) {
            return false;
        }
        const int on = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            return false;
        }
        const std::string host = "127.0.0.1:" + std::to_string(port);
        const std::string request = "GET /ws HTTP/1.1\r\nHost: " + host +
                                    "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                                    "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                                    "Sec-WebSocket-Version: 13\r\nOrigin: http://" +
                                    host + "\r\n\r\n";
        if (!sendAll(request)) {
            return false;
        }
        std::size_t headEnd = std::string::npos;
        while ((headEnd = findHeadEnd()) == std::string::npos) {
            if (!readAvailable(kHandshakeWaitMs)) {
                return false;
            }
        }
        const bool upgraded =
            std::string_view(reinterpret_cast<const char*>(input_.data()), input_.size())
                .starts_with("HTTP/1.1 101");
        input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(headEnd));
        return upgraded;
    }

    [[nodiscard]] int fd() const noexcept { return fd_; }
    void close() noexcept {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

    [[nodiscard]] bool send(const net::CNDKMessage& message) {
        json_.clear();
        web::encodeJson(message, json_);
        return sendText({reinterpret_cast<const char*>(json_.data()), json_.size()});
    }

    // One masked text frame (a client must mask; the key is fixed, which
    // the server cannot tell from a random one).
    [[nodiscard]] bool sendText(std::string_view text) {
        static constexpr std::uint8_t kMask[4] = {0x12, 0x34, 0x56, 0x78};
        std::string frame;
        frame.push_back(static_cast<char>(0x81));
        const std::size_t size = text.size();
        if (size < 126) {
            frame.push_back(static_cast<char>(0x80 | size));
        } else if (size <= 0xFFFF) {
            frame.push_back(static_cast<char>(0x80 | 126));
            frame.push_back(static_cast<char>(size >> 8));
            frame.push_back(static_cast<char>(size & 0xFF));
        } else {
            frame.push_back(static_cast<char>(0x80 | 127));
            for (int shift = 56; shift >= 0; shift -= 8) {
                frame.push_back(static_cast<char>((size >> shift) & 0xFF));
            }
        }
        frame.append(reinterpret_cast<const char*>(kMask), 4);
        for (std::size_t i = 0; i < size; ++i) {
            frame.push_back(static_cast<char>(text[i] ^ static_cast<char>(kMask[i % 4])));
        }
        return sendAll(frame);
    }

    // Reads what the socket has, waiting up to `waitMs` for something; false
    // when the connection ended.
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

    // The payload of the next complete data frame already read, if any.
    [[nodiscard]] std::optional<std::string> nextFrame() {
        for (;;) {
            const std::uint8_t* data = input_.data() + consumed_;
            const std::size_t size = input_.size() - consumed_;
            if (size < 2) {
                compact();
                return std::nullopt;
            }
            std::size_t header = 2;
            std::uint64_t length = data[1] & 0x7FU;
            const std::size_t extra = length == 126 ? 2 : length == 127 ? 8 : 0;
            if (size < header + extra) {
                compact();
                return std::nullopt;
            }
            if (extra != 0) {
                length = 0;
                for (std::size_t i = 0; i < extra; ++i) {
                    length = (length << 8) | data[2 + i];
                }
                header += extra;
            }
            if (size < header + length) {
                compact();
                return std::nullopt;
            }
            const std::uint8_t opcode = data[0] & 0x0FU;
            const bool last = (data[0] & 0x80U) != 0;
            partial_.append(reinterpret_cast<const char*>(data + header), length);
            consumed_ += header + length;
            if (opcode >= 0x8) { // control frames carry no message
                partial_.clear();
                continue;
            }
            if (last) {
                std::string frame = std::move(partial_);
                partial_.clear();
                return frame;
            }
        }
    }

private:
    static constexpr std::size_t kReadBytes = 256 * 1024;
    static constexpr int kHandshakeWaitMs = 5000;

    [[nodiscard]] bool sendAll(std::string_view bytes) const {
        while (!bytes.empty()) {
            const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent <= 0) {
                return false;
            }
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
        return true;
    }

    [[nodiscard]] std::size_t findHeadEnd() const {
        const std::string_view text(reinterpret_cast<const char*>(input_.data()), input_.size());
        const std::size_t at = text.find("\r\n\r\n");
        return at == std::string_view::npos ? at : at + 4;
    }

    void compact() {
        input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(consumed_));
        consumed_ = 0;
    }

    int fd_ = -1;
    std::vector<std::uint8_t> input_;
    std::size_t consumed_ = 0;
    std::string partial_;
    std::vector<std::uint8_t> json_;
};

} // namespace tembrel::bench
