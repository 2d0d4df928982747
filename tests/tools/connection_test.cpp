// The client connection against a scripted peer on loopback: pings are
// answered, messages split or batched decode, and every way the server can
// end the conversation becomes a clear failure.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "connection/BlockingConnection.h"
#include "net/ValueType.h"

namespace tembrel::client {
namespace {

using namespace std::chrono_literals;

// A listening socket on a free loopback port, and the one accepted peer.
class ScriptedServer {
public:
    ScriptedServer() : listener_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        EXPECT_EQ(::bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), length), 0);
        EXPECT_EQ(::listen(listener_.get(), 5), 0);
        EXPECT_EQ(::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &length),
                  0);
        port_ = ntohs(address.sin_port);
    }

    [[nodiscard]] int port() const noexcept { return port_; }
    void accept() { peer_ = UniqueFd(::accept(listener_.get(), nullptr, nullptr)); }
    void closePeer() { peer_.reset(); }
    void closeListener() { listener_.reset(); }

    void write(std::span<const std::uint8_t> bytes) {
        ASSERT_EQ(::write(peer_.get(), bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }
    void write(const net::CNDKMessage& message) { write(net::CNDKArchive::encode(message)); }

    // Reads one whole message the client sent.
    net::CNDKMessage read() {
        net::CNDKArchive codec;
        std::vector<std::uint8_t> bytes;
        net::CNDKMessage message;
        std::size_t consumed = 0;
        while (codec.decode(bytes, message, consumed) != net::CNDKArchive::Result::Complete) {
            std::uint8_t byte = 0;
            if (::read(peer_.get(), &byte, 1) != 1) {
                ADD_FAILURE() << "the client closed the connection";
                return message;
            }
            bytes.push_back(byte);
        }
        return message;
    }

private:
    UniqueFd listener_;
    UniqueFd peer_;
    int port_ = 0;
};

net::CNDKMessage reply(std::string_view name) {
    net::CNDKMessage message(2);
    message.appendText(name);
    return message;
}

TEST(BlockingConnection, AnswersPingsWithTheSameTickAndDeliversTheRest) {
    ScriptedServer server;
    BlockingConnection connection(2s);
    ASSERT_TRUE(connection.open("127.0.0.1", server.port()));
    server.accept();

    net::CNDKMessage ping(net::kNdkIdPing);
    ping.appendValue(net::CNDKValue::fromScalar(net::ValueType::FourByteD, std::uint32_t{74565}));
    std::vector<std::uint8_t> bytes = net::CNDKArchive::encode(ping);
    net::CNDKArchive::encode(reply("^Status"), bytes);
    // Both in one write, the second one split from the first by nothing.
    server.write(bytes);

    net::CNDKMessage got;
    ASSERT_TRUE(connection.receive(got)) << connection.failure().message;
    EXPECT_EQ(got, reply("^Status"));

    const net::CNDKMessage answer = server.read();
    EXPECT_EQ(answer.id(), net::kNdkIdPing);
    ASSERT_EQ(answer.valueCount(), 1);
    EXPECT_TRUE(answer.value(0).isType(net::ValueType::FourByteD));
    std::uint32_t tick = 0;
    answer.readValue(0, tick);
    EXPECT_EQ(tick, 74565u);
}

TEST(BlockingConnection, WaitsForTheRestOfASplitMessage) {
    ScriptedServer server;
    BlockingConnection connection(2s);
    ASSERT_TRUE(connection.open("127.0.0.1", server.port()));
    server.accept();
    const auto bytes = net::CNDKArchive::encode(reply("^Volume"));
    server.write(std::span(bytes).first(5));
    net::CNDKMessage got;
    EXPECT_EQ(connection.poll(got, 50ms), BlockingConnection::Wait::Idle);
    server.write(std::span(bytes).subspan(5));
    ASSERT_EQ(connection.poll(got, 2s), BlockingConnection::Wait::Message);
    EXPECT_EQ(got, reply("^Volume"));
}

TEST(BlockingConnection, ClosedBeforeAnyMessageMeansRefused) {
    ScriptedServer server;
    BlockingConnection connection(2s);
    ASSERT_TRUE(connection.open("127.0.0.1", server.port()));
    server.accept();
    server.closePeer();
    net::CNDKMessage got;
    EXPECT_FALSE(connection.receive(got));
    EXPECT_EQ(connection.failure().code, ExitCode::Connection);
    EXPECT_NE(connection.failure().message.find("refused the connection"), std::string::npos)
        << connection.failure().message;
}

TEST(BlockingConnection, StopAndDropNoticesAndCloseAreFailures) {
    const std::vector<std::pair<std::int32_t, std::string>> cases{
        {net::kNdkIdServerStopping, "is stopping"},
        {net::kNdkIdDropped, "dropped the connection"},
        {0, "closed the connection"},
    };
    for (const auto& [id, expected] : cases) {
        ScriptedServer server;
        BlockingConnection connection(2s);
        ASSERT_TRUE(connection.open("127.0.0.1", server.port()));
        server.accept();
        server.write(reply("^Status"));
        if (id != 0) {
            server.write(net::CNDKMessage(id));
        } else {
            server.closePeer();
        }
        net::CNDKMessage got;
        ASSERT_TRUE(connection.receive(got));
        EXPECT_FALSE(connection.receive(got));
        EXPECT_FALSE(connection.isOpen());
        EXPECT_NE(connection.failure().message.find(expected), std::string::npos)
            << connection.failure().message;
    }
}

TEST(BlockingConnection, MalformedBytesAndSilenceFail) {
    ScriptedServer server;
    BlockingConnection connection(200ms);
    ASSERT_TRUE(connection.open("127.0.0.1", server.port()));
    server.accept();
    net::CNDKMessage got;
    EXPECT_FALSE(connection.receive(got));
    EXPECT_NE(connection.failure().message.find("no reply"), std::string::npos);

    ScriptedServer other;
    BlockingConnection second(2s);
    ASSERT_TRUE(second.open("127.0.0.1", other.port()));
    other.accept();
    // A byte block declaring 4 GiB cannot be accepted.
    const std::vector<std::uint8_t> bytes{2, 0, 0, 0, 1, 0, 0, 0, 11, 0xFF, 0xFF, 0xFF, 0xFF};
    other.write(bytes);
    EXPECT_FALSE(second.receive(got));
    EXPECT_NE(second.failure().message.find("do not form a message"), std::string::npos)
        << second.failure().message;
}

TEST(BlockingConnection, UnreachableServerNamesHostAndPort) {
    int port = 0;
    {
        ScriptedServer closed;
        port = closed.port();
        closed.closeListener();
    }
    BlockingConnection connection(2s);
    EXPECT_FALSE(connection.open("127.0.0.1", port));
    EXPECT_EQ(connection.failure().code, ExitCode::Connection);
    EXPECT_EQ(connection.failure().message,
              "cannot connect to 127.0.0.1:" + std::to_string(port) + ": Connection refused");
}

TEST(BlockingConnection, LeaveAnnouncesTheDeparture) {
    ScriptedServer server;
    BlockingConnection connection(2s);
    ASSERT_TRUE(connection.open("127.0.0.1", server.port()));
    server.accept();
    server.write(net::CNDKMessage(net::kNdkIdDropped)); // answered later, as the server does
    connection.leave();
    EXPECT_EQ(server.read().id(), net::kNdkIdLeaving);
    EXPECT_FALSE(connection.isOpen());
}

} // namespace
} // namespace tembrel::client
