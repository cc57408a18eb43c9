// The stack buffer with a heap fallback that a call keeps its values in.
#include "platform/small_buffer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Growing keeps what the buffer holds, from in place to the heap and from the heap to a larger
// block (the conversion grows its output while it writes).
TEST(SmallBuffer, GrowingKeepsTheText) {
    SmallBuffer<char, 8> buffer;
    buffer.Assign("abcdef");
    EXPECT_EQ(buffer.Capacity(), 8U);
    std::string expected = "abcdef";
    for (const std::size_t size : {20, 21, 100}) {
        const std::size_t kept = buffer.Size();
        buffer.Resize(size);
        expected.resize(size);
        for (std::size_t at = kept; at < size; ++at) {
            buffer.Data()[at] = expected[at] = static_cast<char>('A' + at % 26);
        }
        EXPECT_EQ(buffer.View(), expected);
        EXPECT_GE(buffer.Capacity(), size);
    }
    buffer.Resize(3);
    EXPECT_EQ(buffer.View(), "abc");
    buffer.Assign(std::string(50, 'z'));
    EXPECT_EQ(buffer.View(), std::string(50, 'z'));
}

}  // namespace
