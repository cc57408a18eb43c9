#include "plugin/copy_out.h"

#include <algorithm>
#include <cstring>
#include <limits>

bool IsBadBuffer(char** out, std::int32_t outSize) {
    return outSize < 0 || (outSize > 0 && (out == nullptr || *out == nullptr));
}

std::int32_t CopyOut(std::string_view value, char** out, std::int32_t outSize) {
    return CopyOut({value}, out, outSize);
}

std::int32_t CopyOut(std::initializer_list<std::string_view> parts, char** out,
                     std::int32_t outSize) {
    std::size_t size = 0;
    for (const std::string_view part : parts) size += part.size();
    if (outSize == 0) {
        // Only a value of gigabytes has a size the result cannot carry.
        if (size >= std::numeric_limits<std::int32_t>::max()) return ErrOutOfMemory;
        return static_cast<std::int32_t>(size + 1);
    }
    std::size_t room = static_cast<std::size_t>(outSize - 1);
    char* next = *out;
    for (const std::string_view part : parts) {
        const std::size_t copied = std::min(part.size(), room);
        if (copied == 0) continue;  // an empty part's data may be null, which memcpy must not get
        std::memcpy(next, part.data(), copied);
        next += copied;
        room -= copied;
    }
    *next = '\0';
    return static_cast<std::int32_t>(next - *out);
}
