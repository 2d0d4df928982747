// Owned byte buffer of a Bytes value: copies in, never keeps the caller's pointer.
#include "net/CNDKByteBlock.h"

namespace tembrel::net {

void CNDKByteBlock::assign(const void* data, std::uint32_t size) {
    if (size == 0 || data == nullptr) {
        data_.clear();
        return;
    }
    const auto* first = static_cast<const std::uint8_t*>(data);
    data_.assign(first, first + size);
}

} // namespace tembrel::net
