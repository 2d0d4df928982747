// The host's own control messages: echo, ping, leave, and the stop and drop
// notices.
#include <gtest/gtest.h>

#include "RecordingHost.h"

using namespace tembrel::test;
using namespace tembrel::net;
using Kind = HostEvent::Kind;

namespace {

class HostControl : public ::testing::Test {
protected:
    void SetUp() override {
        port_ = host_.start();
        ASSERT_NE(port_, 0);
        ASSERT_EQ(host_.admit(a_, port_), 1);
    }

    RecordingHost host_;
    quint16 port_ = 0;
    TestClient a_;
};

} // namespace

TEST_F(HostControl, EchoComesBackUnchangedAndIsNotHandedOn) {
    CNDKMessage echo(kNdkIdEcho);
    echo.appendText("hello");
    echo.putFourByteB(1, -42);
    echo.appendValue(CNDKValue::fromBytes(std::vector<std::uint8_t>{0, 1, 2}));
    const std::uint64_t slot = 0x1122334455667788ULL;
    echo.appendValue(CNDKValue::fromRawScalar(0x20, &slot, sizeof slot));
    ASSERT_TRUE(a_.send(echo));
    const auto back = a_.receive();
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, echo);
    EXPECT_EQ(host_.count(Kind::Message), 0u);
}

TEST_F(HostControl, PingAnswerReportsTheRoundTrip) {
    TestClient b;
    ASSERT_EQ(host_.admit(b, port_), 2);
    const std::uint32_t before = CNDKHost::tickCount();
    ASSERT_TRUE(host_.pingUser(1));
    const auto ping = a_.receive();
    ASSERT_TRUE(ping.has_value());
    ASSERT_EQ(ping->id(), kNdkIdPing);
    ASSERT_EQ(ping->valueCount(), 1);
    EXPECT_EQ(ping->value(0).typeCode(), static_cast<std::uint8_t>(ValueType::FourByteD));
    std::uint32_t sentAt = 0;
    ping->readValue(0, sentAt);
    EXPECT_LE(sentAt - before, 5000u);
    ASSERT_TRUE(a_.send(*ping));
    ASSERT_TRUE(waitUntil([&] { return host_.count(Kind::Ping) == 1; }));
    const std::uint32_t elapsed = CNDKHost::tickCount() - before;
    EXPECT_EQ(host_.events.back().userId, 1);
    EXPECT_LE(host_.events.back().milliseconds, elapsed);
    EXPECT_FALSE(b.receive(50).has_value()); // only user 1 was pinged

    // pingAllUsers reaches everybody; auto-answering clients close the loop.
    a_.setAutoAnswerPings(true);
    b.setAutoAnswerPings(true);
    host_.pingAllUsers();
    ASSERT_TRUE(waitUntil([&] {
        (void)a_.drain(0);
        (void)b.drain(0);
        return host_.count(Kind::Ping) == 3;
    }));
    EXPECT_EQ(host_.count(Kind::Message), 0u);
}

TEST_F(HostControl, PingAnswerWithoutValueReportsTheTickCountItself) {
    const std::uint32_t before = CNDKHost::tickCount();
    ASSERT_TRUE(a_.send(CNDKMessage(kNdkIdPing)));
    ASSERT_TRUE(waitUntil([&] { return host_.count(Kind::Ping) == 1; }));
    const std::uint32_t after = CNDKHost::tickCount();
    const std::uint32_t reported = host_.events.back().milliseconds;
    EXPECT_LE(reported - before, after - before);
}

TEST_F(HostControl, PingAnswerFromBeforeAWrapGivesTheUnsignedDifference) {
    // A tick count ahead of the host's, as after the counter wrapped.
    const std::uint32_t before = CNDKHost::tickCount();
    CNDKMessage answer(kNdkIdPing);
    answer.appendValue(CNDKValue::fromScalar(ValueType::FourByteD, before + 1000u));
    ASSERT_TRUE(a_.send(answer));
    ASSERT_TRUE(waitUntil([&] { return host_.count(Kind::Ping) == 1; }));
    const std::uint32_t elapsed = CNDKHost::tickCount() - before;
    const std::uint32_t reported = host_.events.back().milliseconds;
    EXPECT_GE(reported, 0xFFFFFFFFu - 1000u + 1u);
    EXPECT_LE(reported - (0xFFFFFFFFu - 1000u + 1u), elapsed);
}

TEST_F(HostControl, LeaveGetsTheDropNoticeThenTheConnectionCloses) {
    CNDKMessage leave(kNdkIdLeaving);
    leave.appendText("bye");
    ASSERT_TRUE(a_.send(leave));
    const auto notice = a_.receive();
    ASSERT_TRUE(notice.has_value());
    EXPECT_EQ(notice->id(), kNdkIdDropped);
    EXPECT_EQ(notice->valueCount(), 0);
    EXPECT_TRUE(a_.waitForClose());
    ASSERT_TRUE(host_.lastDropOf(1).has_value());
    EXPECT_EQ(host_.lastDropOf(1)->reason, DropReason::UserLeft);
    EXPECT_EQ(host_.lastDropOf(1)->usersAtCall, 0); // removed before the callback
    EXPECT_EQ(host_.count(Kind::Message), 0u);
}

TEST_F(HostControl, StopAndDropNoticesFromUsersAreOrdinaryMessages) {
    ASSERT_TRUE(a_.send(CNDKMessage(kNdkIdServerStopping)));
    ASSERT_TRUE(a_.send(CNDKMessage(kNdkIdDropped)));
    ASSERT_TRUE(waitUntil([&] { return host_.count(Kind::Message) == 2; }));
    EXPECT_EQ(host_.eventsOf(Kind::Message)[0].message.id(), kNdkIdServerStopping);
    EXPECT_EQ(host_.eventsOf(Kind::Message)[1].message.id(), kNdkIdDropped);
    EXPECT_EQ(host_.userCount(), 1);
}

TEST_F(HostControl, StopHostTellsEachUserThenClosesWithoutCallbacks) {
    TestClient b;
    ASSERT_EQ(host_.admit(b, port_), 2);
    host_.stopHost();
    EXPECT_FALSE(host_.isHosting());
    EXPECT_EQ(host_.userCount(), 0);
    for (TestClient* client : {&a_, &b}) {
        const auto first = client->receive();
        const auto second = client->receive();
        ASSERT_TRUE(first.has_value() && second.has_value());
        EXPECT_EQ(first->id(), kNdkIdServerStopping);
        EXPECT_EQ(second->id(), kNdkIdDropped);
        EXPECT_TRUE(client->waitForClose());
    }
    pumpEvents(20);
    EXPECT_EQ(host_.count(Kind::Dropped), 0u);
    TestClient late;
    EXPECT_FALSE(late.connectTo(port_, 500)); // no longer listening
}

TEST_F(HostControl, DropAllUsersSendsTheDropNoticeWithoutCallbacks) {
    TestClient b;
    ASSERT_EQ(host_.admit(b, port_), 2);
    host_.dropAllUsers();
    EXPECT_EQ(host_.userCount(), 0);
    EXPECT_TRUE(host_.isHosting());
    for (TestClient* client : {&a_, &b}) {
        const auto notice = client->receive();
        ASSERT_TRUE(notice.has_value());
        EXPECT_EQ(notice->id(), kNdkIdDropped);
        EXPECT_TRUE(client->waitForClose());
    }
    EXPECT_EQ(host_.count(Kind::Dropped), 0u);
}
