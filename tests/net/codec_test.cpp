// Byte layout of encoded messages: the worked examples, every text prefix
// form, wide texts, unknown type codes and full round trips.
#include <gtest/gtest.h>

#include "net/CNDKArchive.h"

using namespace tembrel::net;

namespace {

using Bytes = std::vector<std::uint8_t>;

CNDKMessage decodeWhole(const Bytes& bytes) {
    CNDKMessage m(12345);
    std::size_t consumed = 0;
    const auto result = CNDKArchive().decode(bytes, m, consumed);
    EXPECT_EQ(result, CNDKArchive::Result::Complete);
    EXPECT_EQ(consumed, bytes.size());
    return m;
}

// The bytes of a message with one value, without the 8-byte header.
Bytes valueBytes(const CNDKValue& value) {
    CNDKMessage m(0);
    m.appendValue(value);
    Bytes all = CNDKArchive::encode(m);
    return Bytes(all.begin() + 8, all.end());
}

Bytes textPrefix(std::size_t length) {
    const Bytes v = valueBytes(CNDKValue::fromText(std::string(length, 'a')));
    return Bytes(v.begin() + 1, v.end() - static_cast<std::ptrdiff_t>(length));
}

} // namespace

TEST(Codec, PlayCommandExample) {
    CNDKMessage play(2);
    play.appendText("Play");
    const Bytes expected = {0x02, 0, 0, 0, 0x01, 0, 0, 0, 0x0A, 0x04, 'P', 'l', 'a', 'y'};
    EXPECT_EQ(CNDKArchive::encode(play), expected);
    EXPECT_EQ(decodeWhole(expected), play);
}

TEST(Codec, PingExample) {
    CNDKMessage ping(kNdkIdPing);
    ping.appendValue(CNDKValue::fromScalar(ValueType::FourByteD, std::uint32_t{74565}));
    const Bytes expected = {0xFD, 0xFF, 0xFF, 0xFF, 0x01, 0, 0, 0, 0x07,
                            0x45, 0x23, 0x01, 0x00, 0,    0, 0, 0};
    EXPECT_EQ(CNDKArchive::encode(ping), expected);
    const CNDKMessage back = decodeWhole(expected);
    std::uint32_t tick = 0;
    back.readValue(0, tick);
    EXPECT_EQ(tick, 74565u);
    EXPECT_EQ(back.id(), kNdkIdPing);
}

TEST(Codec, StopNoticeExampleIsEightBytes) {
    const Bytes expected = {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
    EXPECT_EQ(CNDKArchive::encode(CNDKMessage(kNdkIdServerStopping)), expected);
    const CNDKMessage back = decodeWhole(expected);
    EXPECT_EQ(back.id(), -1);
    EXPECT_EQ(back.valueCount(), 0);
}

TEST(Codec, ValueExamples) {
    EXPECT_EQ(valueBytes(CNDKValue::fromScalar(ValueType::FourByteB, std::int32_t{6000})),
              (Bytes{0x05, 0x70, 0x17, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(valueBytes(CNDKValue::fromBytes(Bytes{1, 2, 3})),
              (Bytes{0x0B, 0x03, 0, 0, 0, 0x01, 0x02, 0x03}));
    EXPECT_EQ(valueBytes(CNDKValue::fromBytes({})), (Bytes{0x0B, 0, 0, 0, 0}));
    EXPECT_EQ(valueBytes(CNDKValue::fromText("")), (Bytes{0x0A, 0x00}));
}

TEST(Codec, TextPrefixForms) {
    EXPECT_EQ(textPrefix(254), (Bytes{0xFE}));
    EXPECT_EQ(textPrefix(255), (Bytes{0xFF, 0xFF, 0x00}));
    EXPECT_EQ(textPrefix(300), (Bytes{0xFF, 0x2C, 0x01}));
    EXPECT_EQ(textPrefix(65533), (Bytes{0xFF, 0xFD, 0xFF}));
    EXPECT_EQ(textPrefix(65534), (Bytes{0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}));
    EXPECT_EQ(textPrefix(70000), (Bytes{0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}));

    for (const std::size_t n : {0u, 254u, 255u, 65533u, 65534u, 70000u}) {
        CNDKMessage m(2);
        m.appendText(std::string(n, 'q'));
        m.appendText("after");
        const Bytes bytes = CNDKArchive::encode(m);
        EXPECT_EQ(bytes.size(), CNDKArchive::encodedSize(m));
        EXPECT_EQ(decodeWhole(bytes), m) << n;
    }
}

TEST(Codec, ReaderAcceptsLongerPrefixFormsThanNeeded) {
    // "Hi" with a 3-byte and a 7-byte prefix, as another writer might send it.
    const Bytes header = {0x01, 0, 0, 0, 0x01, 0, 0, 0, 0x0A};
    Bytes medium = header;
    medium.insert(medium.end(), {0xFF, 0x02, 0x00, 'H', 'i'});
    Bytes large = header;
    large.insert(large.end(), {0xFF, 0xFF, 0xFF, 0x02, 0, 0, 0, 'H', 'i'});
    EXPECT_EQ(decodeWhole(medium).value(0).text(), "Hi");
    EXPECT_EQ(decodeWhole(large).value(0).text(), "Hi");
}

TEST(Codec, WideTextDecodesToUtf8) {
    // "Play" in the wide form: marker FF FE FF, then 4 UTF-16LE units.
    const Bytes wide = {0x02, 0,    0,   0, 0x01, 0, 0,   0, 0x0A, 0xFF, 0xFE,
                        0xFF, 0x04, 'P', 0, 'l',  0, 'a', 0, 'y',  0};
    CNDKMessage narrow(2);
    narrow.appendText("Play");
    EXPECT_EQ(decodeWhole(wide), narrow);

    // é (U+00E9), € (U+20AC), 𝄞 (U+1D11E, a surrogate pair), and a lone
    // high surrogate, with the count in the 3-byte form after the marker.
    const Bytes mixed = {0x00, 0,    0,    0,    0x01, 0,    0,    0,    0x0A,
                         0xFF, 0xFE, 0xFF, 0xFF, 0x05, 0x00, 0xE9, 0x00, 0xAC,
                         0x20, 0x34, 0xD8, 0x1E, 0xDD, 0x00, 0xD8};
    EXPECT_EQ(decodeWhole(mixed).value(0).text(),
              "\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E\xEF\xBF\xBD");
}

TEST(Codec, UnknownTypeCodeKeepsItsEightBytesAndTheFollowingValues) {
    const Bytes bytes = {0x05, 0, 0, 0, 0x02, 0, 0,    0,    0x20, 1,  2,
                         3,    4, 5, 6, 7,    8, 0x0A, 0x02, 'o',  'k'};
    const CNDKMessage m = decodeWhole(bytes);
    ASSERT_EQ(m.valueCount(), 2);
    EXPECT_EQ(m.value(0).typeCode(), 0x20);
    EXPECT_EQ(m.value(0).scalar(), (CNDKValue::Scalar{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(m.value(1).text(), "ok");
    EXPECT_EQ(CNDKArchive::encode(m), bytes);
}

TEST(Codec, NegativeCountMeansNoValues) {
    // Count -1, then the next message begins right after the count.
    const Bytes bytes = {0x07, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x08, 0, 0, 0, 0, 0, 0, 0};
    CNDKMessage m;
    std::size_t consumed = 0;
    ASSERT_EQ(CNDKArchive().decode(bytes, m, consumed), CNDKArchive::Result::Complete);
    EXPECT_EQ(consumed, 8u);
    EXPECT_EQ(m.id(), 7);
    EXPECT_EQ(m.valueCount(), 0);
}

TEST(Codec, EveryTypeCodeRoundTrips) {
    CNDKMessage m(-77);
    for (int code = 0; code <= 255; ++code) {
        const auto c = static_cast<std::uint8_t>(code);
        if (c == static_cast<std::uint8_t>(ValueType::Text)) {
            m.appendText(std::string("text\0with nul", 13));
        } else if (c == static_cast<std::uint8_t>(ValueType::Bytes)) {
            m.appendValue(CNDKValue::fromBytes(Bytes{0, 0xFF, 0x80}));
        } else {
            const std::uint64_t slot = 0x0102030405060708ULL * (code + 1);
            m.appendValue(CNDKValue::fromRawScalar(c, &slot, sizeof slot));
        }
    }
    const Bytes bytes = CNDKArchive::encode(m);
    EXPECT_EQ(decodeWhole(bytes), m);
}

TEST(Codec, EncodeAppendsToExistingBytes) {
    Bytes out = {0xAA};
    CNDKMessage m(4);
    m.appendText("x");
    CNDKArchive::encode(m, out);
    ASSERT_EQ(out.size(), 1 + 11u);
    EXPECT_EQ(out[0], 0xAA);
    EXPECT_EQ(out[1], 0x04);
}
