// The JSON form of messages: every value type survives the trip to JSON and
// back bit for bit, and anything that is not exactly a message is refused.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "net/CNDKArchive.h"
#include "net/CNDKMessage.h"
#include "web/JsonCodec.h"

namespace tembrel::web {
namespace {

using net::CNDKMessage;
using net::CNDKValue;
using net::ValueType;

std::string toJson(const CNDKMessage& message) {
    std::vector<std::uint8_t> out;
    encodeJson(message, out);
    return {out.begin(), out.end()};
}

bool fromJson(std::string_view json, CNDKMessage& out,
              const net::CNDKArchive::Limits& limits = {}) {
    return decodeJson(json, limits, out);
}

TEST(JsonCodec, EveryValueTypeSurvivesTheRoundTripExactly) {
    CNDKMessage message(-2147483647 - 1);
    message.appendValue(CNDKValue::fromScalar(ValueType::OneByteA, std::uint8_t{255}));
    message.appendValue(CNDKValue::fromScalar(ValueType::OneByteB, std::uint8_t{0}));
    message.appendValue(CNDKValue::fromScalar(ValueType::TwoByteA, std::uint16_t{65535}));
    message.appendValue(CNDKValue::fromScalar(ValueType::TwoByteB, std::uint16_t{1}));
    message.appendValue(CNDKValue::fromScalar(ValueType::FourByteA, std::uint32_t{4294967295U}));
    message.appendValue(CNDKValue::fromScalar(ValueType::FourByteB, std::int32_t{-2147483647 - 1}));
    message.appendValue(CNDKValue::fromScalar(ValueType::FourByteC, std::uint32_t{7}));
    message.appendValue(CNDKValue::fromScalar(ValueType::FourByteD, std::uint32_t{3000000000U}));
    message.appendValue(CNDKValue::fromScalar(ValueType::FourByteE, std::uint32_t{0}));
    message.appendValue(
        CNDKValue::fromScalar(ValueType::EightByte, std::numeric_limits<std::int64_t>::min()));
    message.appendText("quote \" backslash \\ newline \n tab \t bell \x07 \xC3\xA9t\xC3\xA9");
    constexpr char kNotUtf8[] = "not \xFF\xFE UTF-8\0 with zero";
    message.appendText(std::string(kNotUtf8, sizeof kNotUtf8 - 1));
    std::vector<std::uint8_t> all(256);
    for (std::size_t i = 0; i < all.size(); ++i) {
        all[i] = static_cast<std::uint8_t>(i);
    }
    message.appendValue(CNDKValue::fromBytes(all));
    message.appendValue(CNDKValue::fromBytes({}));
    const std::int64_t unnamed = -5;
    message.appendValue(CNDKValue::fromRawScalar(200, &unnamed, sizeof unnamed));

    CNDKMessage back;
    ASSERT_TRUE(fromJson(toJson(message), back)) << toJson(message);
    EXPECT_EQ(net::CNDKArchive::encode(back), net::CNDKArchive::encode(message));
    EXPECT_EQ(back, message);
}

TEST(JsonCodec, WritesTheDocumentedForm) {
    CNDKMessage message(2);
    message.appendText("^Image");
    const std::vector<std::uint8_t> picture{0xFF, 0xD8, 0xFF};
    message.appendValue(CNDKValue::fromBytes(picture));
    message.putFourByteB(2, 3);
    message.appendValue(CNDKValue::fromScalar(ValueType::EightByte, std::int64_t{-12}));
    EXPECT_EQ(toJson(message), R"({"id":2,"values":[{"type":"Text","value":"^Image"},)"
                               R"({"type":"Bytes","base64":"/9j/"},)"
                               R"({"type":"FourByteB","value":3},)"
                               R"({"type":"EightByte","value":"-12"}]})");
}

TEST(JsonCodec, RefusesAnythingButExactlyAMessage) {
    const char* const malformed[] = {
        "",
        "not json",
        "[]",
        R"({"id":2})",
        R"({"values":[]})",
        R"({"id":2,"values":[],"extra":1})",
        R"({"id":"2","values":[]})",
        R"({"id":2.5,"values":[]})",
        R"({"id":2.0,"values":[]})",
        R"({"id":1e2,"values":[]})",
        R"({"id":2147483648,"values":[]})",
        R"({"id":2,"values":{}})",
        R"({"id":2,"values":["Play"]})",
        R"({"id":2,"values":[{"type":"Text"}]})",
        R"({"id":2,"values":[{"type":"Text","value":"a","base64":"YQ=="}]})",
        R"({"id":2,"values":[{"type":"Text","value":5}]})",
        R"({"id":2,"values":[{"type":"Text","value":"\ud800"}]})",
        R"({"id":2,"values":[{"type":"Txt","value":"a"}]})",
        R"({"id":2,"values":[{"type":"Code5","value":"1"}]})",
        R"({"id":2,"values":[{"type":"Code256","value":"1"}]})",
        R"({"id":2,"values":[{"type":"OneByteA","value":256}]})",
        R"({"id":2,"values":[{"type":"OneByteA","value":-1}]})",
        R"({"id":2,"values":[{"type":"FourByteB","value":2147483648}]})",
        R"({"id":2,"values":[{"type":"FourByteD","value":-1}]})",
        R"({"id":2,"values":[{"type":"FourByteB","value":"5"}]})",
        R"({"id":2,"values":[{"type":"EightByte","value":5}]})",
        R"({"id":2,"values":[{"type":"EightByte","value":"9223372036854775808"}]})",
        R"({"id":2,"values":[{"type":"EightByte","value":"+5"}]})",
        R"({"id":2,"values":[{"type":"EightByte","value":"007"}]})",
        R"({"id":2,"values":[{"type":"Bytes","value":"abc"}]})",
        R"({"id":2,"values":[{"type":"Bytes","base64":"YQ"}]})",
        R"({"id":2,"values":[{"type":"Bytes","base64":"Y!=="}]})",
        R"({"id":2,"values":[{"type":"Bytes","base64":"YR=="}]})",
        R"({"id":2,"values":[{"type":"Bytes","base64":"=YQ="}]})",
    };
    for (const char* json : malformed) {
        CNDKMessage out;
        EXPECT_FALSE(fromJson(json, out)) << json;
    }
}

TEST(JsonCodec, KeepsTheMessageLimitsOfTheWireFormat) {
    net::CNDKArchive::Limits limits;
    limits.maxValueCount = 2;
    limits.maxMessageBytes = 64;
    CNDKMessage out;
    const std::string twoValues =
        R"({"id":2,"values":[{"type":"Text","value":"a"},{"type":"Text","value":"b"}]})";
    EXPECT_TRUE(fromJson(twoValues, out, limits));
    EXPECT_FALSE(fromJson(R"({"id":2,"values":[{"type":"Text","value":"a"},)"
                          R"({"type":"Text","value":"b"},{"type":"Text","value":"c"}]})",
                          out, limits));
    const std::string big =
        R"({"id":2,"values":[{"type":"Text","value":")" + std::string(100, 'x') + R"("}]})";
    EXPECT_FALSE(fromJson(big, out, limits));
}

} // namespace
} // namespace tembrel::web
