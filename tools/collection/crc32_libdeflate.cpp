#include <libdeflate.h>

#include "tools/collection/crc32.h"

void Crc32::Add(std::string_view bytes) {
    crc_ = libdeflate_crc32(crc_, bytes.data(), bytes.size());
}
