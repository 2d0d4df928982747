// The incremental decoder: complete / need more / malformed on every split
// of a stream, resuming, and refusal of declarations beyond the limits.
#include <gtest/gtest.h>

#include "net/CNDKArchive.h"

using namespace tembrel::net;
using Result = CNDKArchive::Result;
using Bytes = std::vector<std::uint8_t>;

namespace {

CNDKMessage sample() {
    CNDKMessage m(2);
    m.appendText("PlayAlbumTrack");
    m.appendValue(CNDKValue::fromBytes(Bytes(300, 0x5A)));
    m.appendText(std::string(400, 'w')); // 3-byte prefix
    m.putFourByteB(3, -9);
    return m;
}

Bytes header(std::int32_t id, std::int32_t count) {
    Bytes b(8);
    std::memcpy(b.data(), &id, 4);
    std::memcpy(b.data() + 4, &count, 4);
    return b;
}

Bytes concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(Decoder, EveryProperPrefixNeedsMore) {
    const Bytes bytes = CNDKArchive::encode(sample());
    const CNDKArchive codec;
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        CNDKMessage out(55);
        std::size_t consumed = 99;
        ASSERT_EQ(codec.decode(std::span(bytes).first(cut), out, consumed), Result::NeedMore)
            << cut;
        EXPECT_EQ(out.id(), 55); // untouched until complete
    }
}

TEST(Decoder, ResumingByteByByteGivesTheSameMessage) {
    const Bytes bytes = CNDKArchive::encode(sample());
    const CNDKArchive codec;
    CNDKArchive::Progress progress;
    CNDKMessage out;
    std::size_t consumed = 0;
    for (std::size_t have = 1; have < bytes.size(); ++have) {
        ASSERT_EQ(codec.decode(std::span(bytes).first(have), out, consumed, progress),
                  Result::NeedMore);
    }
    ASSERT_EQ(codec.decode(bytes, out, consumed, progress), Result::Complete);
    EXPECT_EQ(consumed, bytes.size());
    EXPECT_EQ(out, sample());
    EXPECT_EQ(progress.offset, 0u); // ready for the next message
}

TEST(Decoder, TwoMessagesInOneBufferDecodeInOrder) {
    CNDKMessage second(3);
    second.appendText("Stop");
    const Bytes bytes = concat(CNDKArchive::encode(sample()), CNDKArchive::encode(second));
    const CNDKArchive codec;
    CNDKMessage out;
    std::size_t consumed = 0;
    ASSERT_EQ(codec.decode(bytes, out, consumed), Result::Complete);
    EXPECT_EQ(out, sample());
    const std::size_t first = consumed;
    ASSERT_EQ(codec.decode(std::span(bytes).subspan(first), out, consumed), Result::Complete);
    EXPECT_EQ(out, second); // reused storage holds no trace of the first
    EXPECT_EQ(first + consumed, bytes.size());
}

TEST(Decoder, RefusesDeclarationsBeyondTheLimitsBeforeTheirBytesArrive) {
    const CNDKArchive codec; // default: 64 MiB, 65536 values
    CNDKMessage out;
    std::size_t consumed = 0;

    // A Bytes value declaring 4 GiB - 1, with none of its bytes sent.
    const Bytes hugeBlock = concat(header(2, 1), Bytes{0x0B, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(codec.decode(hugeBlock, out, consumed), Result::Malformed);

    // A text declaring 2^32 - 1 characters in the 7-byte prefix form.
    const Bytes hugeText =
        concat(header(2, 1), Bytes{0x0A, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(codec.decode(hugeText, out, consumed), Result::Malformed);

    // A wide text whose 2-byte units exceed the limit though the count fits.
    const Bytes hugeWide = concat(
        header(2, 1), Bytes{0x0A, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x02});
    EXPECT_EQ(codec.decode(hugeWide, out, consumed), Result::Malformed);

    // Counts beyond the value limit, or more values than could fit.
    EXPECT_EQ(codec.decode(header(2, 0x7FFFFFFF), out, consumed), Result::Malformed);
    EXPECT_EQ(codec.decode(header(2, 65537), out, consumed), Result::Malformed);
    EXPECT_EQ(codec.decode(header(2, 65536), out, consumed), Result::NeedMore);
}

TEST(Decoder, LimitsAreConfigurable) {
    const CNDKArchive small(CNDKArchive::Limits{64, 4});
    CNDKMessage out;
    std::size_t consumed = 0;

    CNDKMessage fits(1);
    fits.appendText(std::string(64 - 8 - 2, 'f')); // exactly 64 bytes
    EXPECT_EQ(small.decode(CNDKArchive::encode(fits), out, consumed), Result::Complete);

    CNDKMessage tooLong(1);
    tooLong.appendText(std::string(64 - 8 - 1, 'f')); // 65 bytes
    const Bytes longBytes = CNDKArchive::encode(tooLong);
    // Refused as soon as the prefix is seen.
    EXPECT_EQ(small.decode(std::span(longBytes).first(10), out, consumed), Result::Malformed);

    EXPECT_EQ(small.decode(header(1, 5), out, consumed), Result::Malformed);
    EXPECT_EQ(small.decode(header(1, 4), out, consumed), Result::NeedMore);

    // Many small values whose total passes the limit only at the last one.
    Bytes many = header(1, 4);
    const Bytes scalar = {0x05, 1, 0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        many = concat(many, scalar);
    }
    EXPECT_EQ(many.size(), 8u + 4 * 9);
    EXPECT_EQ(small.decode(many, out, consumed), Result::Complete);
    const CNDKArchive smaller(CNDKArchive::Limits{8 + 3 * 9, 4});
    EXPECT_EQ(smaller.decode(many, out, consumed), Result::Malformed);
}
