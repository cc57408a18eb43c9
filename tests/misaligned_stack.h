// Calls made the way a 32-bit Windows host built by another compiler may make them: with the
// stack aligned to 4 bytes only, where GCC's own code keeps 16. Code that assumed 16 and kept a
// vector on the stack would fault there. 32-bit x86 only; elsewhere the ABI guarantees the
// alignment, so there is nothing to try.
#pragma once

#include <cstdint>

#if defined(__i386__)
#define QBT_CAN_MISALIGN_THE_STACK 1

// Calls function(context) with the stack pointer `offset` bytes below a multiple of 16 at the
// call instruction (offset 0 is the alignment GCC keeps; 4, 8 and 12 are those it must survive).
inline void CallWithStackOffBy(std::uint32_t offset, void (*function)(void*), void* context) {
    asm volatile(
        "movl %%esp, %%esi\n\t"
        "andl $-16, %%esp\n\t"
        "subl %%eax, %%esp\n\t"
        "subl $12, %%esp\n\t"
        "pushl %%ecx\n\t"
        "call *%%edx\n\t"
        "movl %%esi, %%esp\n\t"
        : "+a"(offset), "+c"(context), "+d"(function)
        :
        : "esi", "memory", "cc");
}

// Calls `call()` once at each of the four alignments.
template <typename Call>
void AtEveryStackAlignment(Call&& call) {
    for (std::uint32_t offset = 0; offset < 16; offset += 4) {
        CallWithStackOffBy(
            offset, [](void* context) { (*static_cast<Call*>(context))(); }, &call);
    }
}
#else
#define QBT_CAN_MISALIGN_THE_STACK 0
#endif
