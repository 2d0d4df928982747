#pragma once

#include <cstdint>

namespace tembrel::net {

// Type codes of message values. The numbers are part of the wire format; a
// peer may also send codes 12 to 255, which travel as 8-byte scalars.
enum class ValueType : std::uint8_t {
    OneByteA = 0,
    OneByteB = 1,
    TwoByteA = 2,
    TwoByteB = 3,
    FourByteA = 4,
    FourByteB = 5, // the application's signed 32-bit integers
    FourByteC = 6,
    FourByteD = 7, // the ping's unsigned 32-bit tick count
    FourByteE = 8,
    EightByte = 9,
    Text = 10,
    Bytes = 11,
};

} // namespace tembrel::net
