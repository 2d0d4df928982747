// Storing values into messages and copying them out: growth, ignored
// indexes, the type-blind copy rules and independent copies.
#include <gtest/gtest.h>

#include "net/CNDKMessage.h"

using namespace tembrel::net;

TEST(Message, PutValueBeyondTheEndFillsWithEmptyTexts) {
    CNDKMessage m(2);
    m.putText(3, "x");
    ASSERT_EQ(m.valueCount(), 4);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(m.value(i).isType(ValueType::Text));
        EXPECT_EQ(m.value(i).text(), "");
    }
    EXPECT_EQ(m.value(3).text(), "x");

    m.putFourByteB(1, 6000); // replaces in place, count unchanged
    EXPECT_EQ(m.valueCount(), 4);
    EXPECT_TRUE(m.value(1).isType(ValueType::FourByteB));
}

TEST(Message, NegativeIndexIsIgnoredAndAppendGoesToTheEnd) {
    CNDKMessage m(1);
    m.appendText("a");
    m.putText(-1, "b");
    m.putFourByteB(-5, 1);
    ASSERT_EQ(m.valueCount(), 1);
    m.appendValue(CNDKValue::fromScalar(ValueType::FourByteD, std::uint32_t{7}));
    ASSERT_EQ(m.valueCount(), 2);
    EXPECT_EQ(m.value(0).text(), "a");
    EXPECT_EQ(m.value(1).typeCode(), 7);
}

TEST(Message, ReadOutsideTheValuesLeavesTheOutputUntouched) {
    const CNDKMessage empty(3);
    std::int32_t n = 1234;
    std::string s = "keep";
    std::uint8_t buffer[4] = {9, 9, 9, 9};
    empty.readValue(0, n);
    empty.readValue(-1, s);
    empty.readValue(0, buffer, sizeof buffer);
    EXPECT_EQ(n, 1234);
    EXPECT_EQ(s, "keep");
    EXPECT_EQ(buffer[0], 9);

    CNDKMessage one(3);
    one.putFourByteB(0, 5);
    one.readValue(1, n);
    EXPECT_EQ(n, 1234);
}

TEST(Message, ReadCopiesWhateverTheValueType) {
    CNDKMessage m(3);
    m.putFourByteB(0, 6000);
    m.appendValue(CNDKValue::fromScalar(ValueType::OneByteA, std::uint8_t{0xAB}));
    m.appendText("text");

    std::string s = "stale";
    m.readValue(0, s);
    EXPECT_EQ(s, ""); // a FourByteB value holds no text

    std::uint32_t wide = 0xFFFFFFFF;
    m.readValue(1, wide);
    EXPECT_EQ(wide, 0xABu); // first 4 slot bytes; the rest of the slot is zero

    std::int16_t narrow = 0;
    m.readValue(0, narrow);
    EXPECT_EQ(narrow, 6000);

    std::int32_t fromText = 77;
    m.readValue(2, fromText);
    EXPECT_EQ(fromText, 0); // a text value's slot is zero
}

TEST(Message, BytesAreCopiedUpToTheCapacityAndOnlyFromBytesValues) {
    std::vector<std::uint8_t> thousand(1000);
    for (std::size_t i = 0; i < thousand.size(); ++i) {
        thousand[i] = static_cast<std::uint8_t>(i * 7);
    }
    CNDKMessage m(2);
    m.putBytes(0, thousand);
    m.putText(1, "not bytes");

    std::vector<std::uint8_t> out(400, 0xEE);
    m.readValue(0, out.data(), 300);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + 300, thousand.begin()));
    EXPECT_EQ(out[300], 0xEE);

    std::vector<std::uint8_t> untouched(10, 0x55);
    m.readValue(1, untouched.data(), 10);
    EXPECT_EQ(untouched, std::vector<std::uint8_t>(10, 0x55));

    m.readValue(0, nullptr, 300); // no destination: nothing happens
}

TEST(Message, CopiesAreIndependent) {
    const std::vector<std::uint8_t> bytes = {1, 2, 3};
    auto original = std::make_unique<CNDKMessage>(9);
    original->putBytes(0, bytes);
    original->putText(1, "name");

    CNDKMessage copy = *original;
    CNDKMessage assigned(1);
    assigned = *original;
    original->putBytes(0, std::vector<std::uint8_t>{7});
    original->putText(1, "changed");
    original.reset();

    for (const CNDKMessage* m : {&copy, &assigned}) {
        EXPECT_EQ(m->id(), 9);
        ASSERT_EQ(m->valueCount(), 2);
        EXPECT_EQ(std::vector<std::uint8_t>(m->value(0).bytes().view().begin(),
                                            m->value(0).bytes().view().end()),
                  bytes);
        EXPECT_EQ(m->value(1).text(), "name");
    }

    CNDKMessage& self = copy;
    copy = self;
    EXPECT_EQ(copy.valueCount(), 2);
    EXPECT_EQ(copy.value(1).text(), "name");
}

TEST(Message, ByteBlockAssignCopiesAndEmptiesOnZeroSize) {
    std::vector<std::uint8_t> source = {4, 5, 6};
    CNDKByteBlock block;
    block.assign(source.data(), 3);
    source[0] = 99;
    EXPECT_EQ(block.size(), 3u);
    EXPECT_EQ(block.data()[0], 4);
    block.assign(source.data(), 0);
    EXPECT_EQ(block.size(), 0u);
}

TEST(Value, ReadAsReportsWhetherTheTypeMatched) {
    const CNDKValue number = CNDKValue::fromScalar(ValueType::FourByteB, std::int32_t{-2});
    std::int32_t n = 0;
    EXPECT_TRUE(number.readAs(n, ValueType::FourByteB));
    EXPECT_EQ(n, -2);
    std::uint32_t d = 0;
    EXPECT_FALSE(number.readAs(d, ValueType::FourByteD));
    EXPECT_EQ(d, 0xFFFFFFFEu); // copied anyway
    std::string s = "x";
    EXPECT_FALSE(number.readAs(s));
    EXPECT_EQ(s, "");
    EXPECT_TRUE(CNDKValue().readAs(s)); // a default value is an empty Text
}
