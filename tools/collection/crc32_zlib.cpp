#include <zlib.h>

#include <algorithm>
#include <limits>

#include "tools/collection/crc32.h"

void Crc32::Add(std::string_view bytes) {
    // zlib takes a 32-bit length.
    constexpr std::size_t kLongest = std::numeric_limits<uInt>::max();
    while (!bytes.empty()) {
        const std::size_t length = std::min(bytes.size(), kLongest);
        crc_ = static_cast<std::uint32_t>(
            crc32(crc_, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(length)));
        bytes.remove_prefix(length);
    }
}
