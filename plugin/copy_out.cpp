#include "plugin/copy_out.h"

#include <algorithm>
#include <cstring>
#include <limits>

bool IsBadBuffer(char** out, std::int32_t outSize) {
    return outSize < 0 || (outSize > 0 && (out == nullptr || *out == nullptr));
}

std::int32_t CopyOut(std::string_view value, char** out, std::int32_t outSize) {
    if (outSize == 0) {
        // Only a value of gigabytes has a size the result cannot carry.
        if (value.size() >= std::numeric_limits<std::int32_t>::max()) return ErrOutOfMemory;
        return static_cast<std::int32_t>(value.size() + 1);
    }
    const std::size_t copied = std::min(value.size(), static_cast<std::size_t>(outSize - 1));
    std::memcpy(*out, value.data(), copied);
    (*out)[copied] = '\0';
    return static_cast<std::int32_t>(copied);
}
