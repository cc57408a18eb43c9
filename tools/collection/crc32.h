// The CRC-32 of a ROM's bytes, as hosts key ROMs (the zip format's checksum), fed piece by piece.
//
//     Crc32 crc;
//     crc.Add(chunk);  // as often as there are chunks
//     CrcKey(crc.Value());
//
// libdeflate's on Linux: five to six times zlib's speed on the same data (docs/performance.md),
// which makes the checksums of a collection cost little more than reading it. qbt.exe keeps
// zlib's, which Debian cross-builds for mingw-w64; libdeflate it does not.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

class Crc32 {
public:
    void Add(std::string_view bytes);
    std::uint32_t Value() const { return crc_; }

private:
    std::uint32_t crc_ = 0;  // the CRC of no bytes, in both libraries
};

// Eight upper-case hexadecimal digits, the key a host passes for a CRC-32.
inline std::string CrcKey(std::uint32_t crc) {
    char key[9];
    std::snprintf(key, sizeof key, "%08X", static_cast<unsigned>(crc));
    return key;
}
