// Handing text and results across the exported boundary.
#pragma once

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <new>
#include <string_view>

#include "plugin/exports.h"

// Whether `out` and `outSize` break the copy-out contract: a negative size, or a size with no
// buffer behind it. A size query (outSize 0) never looks at `out`.
bool IsBadBuffer(char** out, std::int32_t outSize);

// Writes `value`, cut by bytes to fit, with its NUL into the buffer *out points to and returns
// the bytes written before the NUL; outSize 0 returns the size the value needs instead. The
// buffer must have passed IsBadBuffer.
std::int32_t CopyOut(std::string_view value, char** out, std::int32_t outSize);

// CopyOut for the value the parts make one after the other, without joining them first.
std::int32_t CopyOut(std::initializer_list<std::string_view> parts, char** out,
                     std::int32_t outSize);

// Runs one export's work so that no exception reaches the host. The only exceptions the work can
// raise come from allocation (std::bad_alloc, or std::length_error for an impossible size).
template <typename Work>
std::int32_t AnswerHost(Work&& work) noexcept {
    try {
        return work();
    } catch (...) {
        return ErrOutOfMemory;
    }
}
