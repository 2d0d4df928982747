// Bytes to message. A first pass checks the message's structure and every
// declared count and length against the limits without allocating; only a
// complete, acceptable message is then built.
#include <cstring>

#include "net/CNDKArchive.h"
#include "net/Utf16.h"
#include "net/WireFormat.h"

namespace tembrel::net {

namespace {

constexpr auto kTextCode = static_cast<std::uint8_t>(ValueType::Text);
constexpr auto kBytesCode = static_cast<std::uint8_t>(ValueType::Bytes);

} // namespace

// Fills messages and values in place so that decoding reuses their storage.
struct DecodeAccess {
    // Fills `value` from the validated bytes at `p`; returns the end of the value.
    static const std::uint8_t* buildValue(const std::uint8_t* p, const std::uint8_t* end,
                                          CNDKValue& value) {
        const std::uint8_t code = *p++;
        value.type_ = code;
        value.scalar_.fill(0);
        if (code == kTextCode) {
            wire::TextPrefix prefix;
            (void)wire::readTextPrefix(p, static_cast<std::size_t>(end - p), prefix);
            p += prefix.prefixBytes;
            const auto units = static_cast<std::size_t>(prefix.units);
            if (prefix.wide) {
                utf16leToUtf8(p, units, value.text_);
            } else {
                value.text_.assign(reinterpret_cast<const char*>(p), units);
            }
            value.bytes_.clear();
            return p + prefix.payloadBytes();
        }
        value.text_.clear();
        if (code == kBytesCode) {
            const std::uint32_t n = wire::load32(p);
            p += 4;
            value.bytes_.assign(p, n);
            return p + n;
        }
        value.bytes_.clear();
        std::memcpy(value.scalar_.data(), p, wire::kScalarBytes);
        return p + wire::kScalarBytes;
    }

    // Fills `out` from the validated message at the start of `bytes`; returns
    // the message's length.
    static std::size_t build(std::span<const std::uint8_t> bytes, CNDKMessage& out) {
        const std::uint8_t* p = bytes.data();
        const std::uint8_t* end = p + bytes.size();
        out.id_ = static_cast<std::int32_t>(wire::load32(p));
        const auto count = static_cast<std::int32_t>(wire::load32(p + 4));
        p += wire::kHeaderBytes;
        out.values_.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
        for (CNDKValue& value : out.values_) {
            p = buildValue(p, end, value);
        }
        return static_cast<std::size_t>(p - bytes.data());
    }
};

CNDKArchive::Result CNDKArchive::scan(std::span<const std::uint8_t> bytes,
                                      Progress& progress) const noexcept {
    const std::uint8_t* base = bytes.data();
    const std::size_t size = bytes.size();
    std::size_t offset = progress.offset;

    if (progress.valuesLeft < 0) {
        if (size < wire::kHeaderBytes) {
            return Result::NeedMore;
        }
        const auto count = static_cast<std::int32_t>(wire::load32(base + 4));
        if (count > 0) {
            const auto declared = static_cast<std::size_t>(count);
            if (declared > limits_.maxValueCount ||
                wire::kHeaderBytes + declared * wire::kMinValueBytes > limits_.maxMessageBytes) {
                return Result::Malformed;
            }
        }
        offset = wire::kHeaderBytes;
        progress.valuesLeft = count > 0 ? count : 0;
    }

    while (progress.valuesLeft > 0) {
        // Each value ends where its declared payload ends; that end is checked
        // against the limit before the payload's bytes are waited for.
        if (size < offset + 1) {
            break;
        }
        const std::uint8_t code = base[offset];
        std::uint64_t end = 0;
        if (code == kTextCode) {
            wire::TextPrefix prefix;
            if (!wire::readTextPrefix(base + offset + 1, size - offset - 1, prefix)) {
                break;
            }
            end = offset + 1 + prefix.prefixBytes + prefix.payloadBytes();
        } else if (code == kBytesCode) {
            if (size < offset + 5) {
                break;
            }
            end = offset + 5 + std::uint64_t{wire::load32(base + offset + 1)};
        } else {
            end = offset + 1 + wire::kScalarBytes;
        }
        if (end > limits_.maxMessageBytes) {
            return Result::Malformed;
        }
        if (end > size) {
            break;
        }
        offset = static_cast<std::size_t>(end);
        --progress.valuesLeft;
    }
    progress.offset = offset;
    return progress.valuesLeft == 0 ? Result::Complete : Result::NeedMore;
}

CNDKArchive::Result CNDKArchive::check(std::span<const std::uint8_t> bytes, std::size_t& consumed,
                                       Progress& progress) const noexcept {
    const Result result = scan(bytes, progress);
    if (result == Result::Complete) {
        consumed = progress.offset;
    }
    if (result != Result::NeedMore) {
        progress = Progress{};
    }
    return result;
}

CNDKArchive::Result CNDKArchive::decode(std::span<const std::uint8_t> bytes, CNDKMessage& out,
                                        std::size_t& consumed) const {
    Progress progress;
    return decode(bytes, out, consumed, progress);
}

CNDKArchive::Result CNDKArchive::decode(std::span<const std::uint8_t> bytes, CNDKMessage& out,
                                        std::size_t& consumed, Progress& progress) const {
    const Result result = scan(bytes, progress);
    if (result != Result::Complete) {
        if (result == Result::Malformed) {
            progress = Progress{};
        }
        return result;
    }
    const std::size_t length = progress.offset;
    progress = Progress{};
    consumed = DecodeAccess::build(bytes.first(length), out);
    return Result::Complete;
}

std::size_t CNDKArchive::buildChecked(std::span<const std::uint8_t> bytes, CNDKMessage& out) {
    return DecodeAccess::build(bytes, out);
}

} // namespace tembrel::net
