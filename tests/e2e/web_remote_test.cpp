// The web remote against the real server: a web user is a user like a TCP
// one, and the HTTP side refuses what it must (foreign origins, paths outside
// the page, malformed messages).
#include <gtest/gtest.h>

#include <QTcpSocket>

#include <memory>
#include <vector>

#include "ServerProcess.h"
#include "WebClient.h"
#include "support/TestClient.h"
#include "web/WebSocketTransport.h"

namespace tembrel::test {
namespace {

constexpr int kMaxUsers = 20;
constexpr int kWaitMs = 5000;

// The raw answer to `request` (sent as is) on the web port, read until the
// server closes the connection or the head has arrived.
[[nodiscard]] std::string httpExchange(int webPort, const std::string& request) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(webPort));
    if (!socket.waitForConnected(kWaitMs)) {
        return {};
    }
    socket.write(request.data(), static_cast<qint64>(request.size()));
    std::string answer;
    while (answer.find("\r\n\r\n") == std::string::npos && socket.waitForReadyRead(kWaitMs)) {
        answer += socket.readAll().toStdString();
    }
    return answer;
}

// A server with its web remote on a free port.
class WebRemoteTest : public ::testing::Test {
protected:
    WebRemoteTest() : webPort_(freePort()), server_({"--web-port", QString::number(webPort_)}) {}

    void SetUp() override { ASSERT_TRUE(server_.ready()) << server_.log(); }
    void TearDown() override {
        if (HasFailure()) {
            std::cerr << "server log:\n" << server_.log();
        }
    }

    [[nodiscard]] std::string get(const std::string& path,
                                  const std::string& method = "GET") const {
        return httpExchange(webPort_, method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" +
                                          std::to_string(webPort_) +
                                          "\r\nConnection: close\r\n\r\n");
    }

    [[nodiscard]] std::string upgrade(const std::string& origin) const {
        return httpExchange(webPort_,
                            "GET /ws HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(webPort_) +
                                "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                                "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                                "Sec-WebSocket-Version: 13\r\nOrigin: " +
                                origin + "\r\n\r\n");
    }

    [[nodiscard]] std::unique_ptr<TestClient> tcpUser(const std::string& name) const {
        auto client = std::make_unique<TestClient>();
        client->setAutoAnswerPings(true);
        if (!client->connectTo(static_cast<quint16>(server_.port()))) {
            return nullptr;
        }
        net::CNDKMessage join(0);
        join.appendText(name);
        client->send(join);
        if (!client->receiveUntil([](const auto& m) { return named(m, "^TotalTracks"); },
                                  kWaitMs)) {
            return nullptr;
        }
        return client;
    }

    [[nodiscard]] std::unique_ptr<WebClient> webUser(const std::string& name) const {
        auto client = std::make_unique<WebClient>(webPort_);
        if (!client->open() || !client->join(name)) {
            return nullptr;
        }
        return client;
    }

    int webPort_;
    ServerProcess server_;
};

[[nodiscard]] bool startsWith(const std::string& text, std::string_view prefix) {
    return text.starts_with(prefix);
}

TEST_F(WebRemoteTest, UpgradeFromAForeignOriginIsRefusedWith403) {
    const std::string foreign = upgrade("http://evil.example");
    EXPECT_TRUE(startsWith(foreign, "HTTP/1.1 403 ")) << foreign;
    EXPECT_EQ(foreign.find("Upgrade: websocket"), std::string::npos) << foreign;
    // The same host on another port is another origin too.
    const std::string otherPort = upgrade("http://127.0.0.1:1");
    EXPECT_TRUE(startsWith(otherPort, "HTTP/1.1 403 ")) << otherPort;

    const std::string own = upgrade("http://127.0.0.1:" + std::to_string(webPort_));
    EXPECT_TRUE(startsWith(own, "HTTP/1.1 101 ")) << own;

    WebClient browser(webPort_, QStringLiteral("http://evil.example"));
    EXPECT_FALSE(browser.open());
}

TEST_F(WebRemoteTest, ServesOnlyThePageFiles) {
    const std::string page = get("/?name=anna");
    EXPECT_TRUE(startsWith(page, "HTTP/1.1 200 ")) << page;
    EXPECT_NE(page.find("Content-Type: text/html; charset=utf-8"), std::string::npos) << page;
    const std::string table = get("/protocol.json");
    EXPECT_TRUE(startsWith(table, "HTTP/1.1 200 ")) << table;
    EXPECT_NE(table.find("application/json"), std::string::npos) << table;
    EXPECT_NE(table.find(R"({"argument":"none","name":"Play")"), std::string::npos) << table;
    EXPECT_TRUE(startsWith(get("/app/app.js"), "HTTP/1.1 200 "));

    for (const char* path :
         {"/nothing", "/index.html", "/app/", "/app/../protocol.json", "/app/%2e%2e/index.html",
          "/app/..%2f..%2fCMakeLists.txt", "/../../etc/passwd", "//etc/passwd", "/web/page/app.js",
          "/app/app.js/", "/app//app.js", "/app/./app.js"}) {
        EXPECT_TRUE(startsWith(get(path), "HTTP/1.1 404 ")) << path << "\n" << get(path);
    }
    EXPECT_TRUE(startsWith(get("/", "POST"), "HTTP/1.1 405 "));
    EXPECT_TRUE(startsWith(get("/ws"), "HTTP/1.1 426 "));
    EXPECT_TRUE(startsWith(httpExchange(webPort_, "garbage\r\n\r\n"), "HTTP/1.1 4") ||
                httpExchange(webPort_, "garbage\r\n\r\n").empty());
}

TEST_F(WebRemoteTest, HoldsABoundedNumberOfHttpConnections) {
    constexpr int kMaxConnections = 256;
    std::vector<std::unique_ptr<QTcpSocket>> held;
    for (int i = 0; i < kMaxConnections; ++i) {
        held.push_back(std::make_unique<QTcpSocket>());
        held.back()->connectToHost(QHostAddress::LocalHost, static_cast<quint16>(webPort_));
        ASSERT_TRUE(held.back()->waitForConnected(kWaitMs)) << i;
    }
    // The server has taken them all in once it answers on one of them.
    held.back()->write("GET /protocol.json HTTP/1.1\r\nHost: x\r\n\r\n");
    ASSERT_TRUE(held.back()->waitForReadyRead(kWaitMs));
    QTcpSocket extra;
    extra.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(webPort_));
    ASSERT_TRUE(extra.waitForConnected(kWaitMs));
    EXPECT_TRUE(extra.state() == QAbstractSocket::UnconnectedState ||
                extra.waitForDisconnected(kWaitMs));

    // Connections that end make room again.
    held.clear();
    EXPECT_TRUE(waitUntil([&] { return startsWith(get("/"), "HTTP/1.1 200 "); }, kWaitMs));
}

TEST_F(WebRemoteTest, WebAndTcpUsersSeeEachOthersChanges) {
    auto web = webUser("webby");
    ASSERT_TRUE(web);
    auto tcp = tcpUser("tcpy");
    ASSERT_TRUE(tcp);
    // The web user is told of the TCP user's join, as a TCP user would be.
    EXPECT_TRUE(web->receiveUntil([](const auto& m) { return m.id() == 0 && named(m, "tcpy"); }));

    // A command from the TCP user: the web user gets its broadcast.
    tcp->send(makeCommand("Shuffle"));
    EXPECT_TRUE(web->receiveUntil([](const auto& m) { return named(m, "^ShuffleOn"); }));

    // A command from the web user: the TCP user gets its broadcast.
    net::CNDKMessage repeat(2);
    repeat.appendText("Repeat");
    web->send(repeat);
    EXPECT_TRUE(tcp->receiveUntil([](const auto& m) { return named(m, "^RepeatOn"); }, kWaitMs));

    // A search answers the web user alone, in its JSON form.
    net::CNDKMessage search(2);
    search.appendText("Search");
    search.appendText("LIGHT");
    web->send(search);
    const auto found = web->receiveUntil([](const auto& m) { return named(m, "^Search"); });
    ASSERT_TRUE(found);
    EXPECT_TRUE(textAt(*found, 1).starts_with("2\\0\n")) << textAt(*found, 1);

    // Leaving is announced to the others with the name.
    web.reset();
    EXPECT_TRUE(
        tcp->receiveUntil([](const auto& m) { return m.id() == 1 && named(m, "webby"); }, kWaitMs));
}

TEST_F(WebRemoteTest, MalformedMessageDropsOnlyThatUser) {
    auto bad = webUser("bad");
    auto good = webUser("good");
    auto tcp = tcpUser("tcp");
    ASSERT_TRUE(bad && good && tcp);

    bad->sendText(QStringLiteral(R"({"id":2,"values":[{"type":"Text","value":5}]})"));
    EXPECT_TRUE(bad->waitForClose());
    EXPECT_TRUE(
        tcp->receiveUntil([](const auto& m) { return m.id() == 1 && named(m, "bad"); }, kWaitMs));

    net::CNDKMessage info(2);
    info.appendText("GetInfo");
    good->send(info);
    EXPECT_TRUE(good->receiveUntil([](const auto& m) { return named(m, "^Status"); }));
    EXPECT_TRUE(good->isOpen());
    EXPECT_FALSE(good->receivedMalformed());
    EXPECT_NE(server_.log().find("An error occurred while receiving message from bad."),
              std::string::npos);
}

TEST_F(WebRemoteTest, WebUsersCountTowardTheUserLimit) {
    std::vector<std::unique_ptr<TestClient>> tcp;
    for (int i = 0; i + 1 < kMaxUsers; ++i) {
        tcp.push_back(tcpUser("tcp" + std::to_string(i)));
        ASSERT_TRUE(tcp.back()) << i;
    }
    auto web = webUser("web");
    ASSERT_TRUE(web);

    // 19 TCP users and one web user: a 21st connection of either kind is refused.
    TestClient extra;
    ASSERT_TRUE(extra.connectTo(static_cast<quint16>(server_.port())));
    EXPECT_TRUE(extra.waitForClose(kWaitMs));
    WebClient extraWeb(webPort_);
    extraWeb.open();
    EXPECT_TRUE(extraWeb.waitForClose());
    EXPECT_EQ(extraWeb.closeCode(), web::WebSocketTransport::kRefusedCloseCode);

    // Once the web user leaves, a new one is admitted.
    web.reset();
    ASSERT_TRUE(tcp.front()->receiveUntil(
        [](const auto& m) { return m.id() == 1 && named(m, "web"); }, kWaitMs));
    EXPECT_TRUE(webUser("again"));
}

// With loopback left off the allow-list, the web port serves a loopback peer
// nothing (neither the page nor a WebSocket), the log says so once, and the
// port is bound only where --listen says.
TEST(WebRemoteExposure, PeersOffTheAllowListAreClosedUnserved) {
    const int webPort = freePort();
    ServerProcess server(
        {"--web-port", QString::number(webPort), "--allow", "10.0.0.0/8", "--listen", "127.0.0.1"});
    ASSERT_TRUE(server.ready()) << server.log();

    const std::string host = "Host: 127.0.0.1:" + std::to_string(webPort) + "\r\n";
    EXPECT_EQ(httpExchange(webPort, "GET / HTTP/1.1\r\n" + host + "\r\n"), "");
    EXPECT_EQ(httpExchange(webPort, "GET /ws HTTP/1.1\r\n" + host +
                                        "Upgrade: websocket\r\nConnection: Upgrade\r\n"
                                        "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                                        "Sec-WebSocket-Version: 13\r\n\r\n"),
              "");
    WebClient browser(webPort);
    EXPECT_FALSE(browser.open());

    QTcpSocket v6;
    v6.connectToHost(QHostAddress(QHostAddress::LocalHostIPv6), static_cast<quint16>(webPort));
    EXPECT_FALSE(v6.waitForConnected(1000)) << "the web port is bound on ::1 too";

    const std::string log = server.log();
    const std::string line =
        "Connection from 127.0.0.1 refused: address not allowed on the web port.";
    const std::size_t first = log.find(line);
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find(line, first + 1), std::string::npos) << "logged more than once:\n" << log;
}

} // namespace
} // namespace tembrel::test
