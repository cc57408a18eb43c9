#include "tests/failing_allocator.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <new>

// glibc's own allocator under its exported internal names; the replacements below sit in front
// of it. Every block still comes from glibc, so a block allocated before a watch can be freed
// during it and the other way round.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* block);
}

namespace {

// Blocks handed out during a watch, in an open-addressed table of fixed size: the allocator
// cannot allocate for its own books. A call under test holds a few dozen blocks at most.
constexpr std::size_t kSlots = 1 << 14;
void* const kFreedSlot = reinterpret_cast<void*>(std::uintptr_t{1});

struct Watch {
    bool active = false;
    std::size_t failAt = kFailNone;
    std::size_t attempts = 0;
    bool failed = false;
    std::size_t live = 0;
    void* slots[kSlots] = {};
};
Watch gWatch;

std::size_t SlotOf(const void* block) {
    return (reinterpret_cast<std::uintptr_t>(block) >> 4) * 0x9E3779B97F4A7C15ULL % kSlots;
}

void Remember(void* block) {
    for (std::size_t slot = SlotOf(block);; slot = (slot + 1) % kSlots) {
        if (gWatch.slots[slot] == nullptr || gWatch.slots[slot] == kFreedSlot) {
            gWatch.slots[slot] = block;
            ++gWatch.live;
            return;
        }
    }
}

void Forget(void* block) {
    if (!gWatch.active || block == nullptr) return;
    for (std::size_t slot = SlotOf(block); gWatch.slots[slot] != nullptr;
         slot = (slot + 1) % kSlots) {
        if (gWatch.slots[slot] == block) {
            gWatch.slots[slot] = kFreedSlot;
            --gWatch.live;
            return;
        }
    }
}

// Whether this attempt is the one chosen to fail. It fails as glibc's would, with ENOMEM in
// errno, which is all that iconv_open has to say why it failed.
bool FailsNow() {
    if (!gWatch.active) return false;
    if (gWatch.attempts++ != gWatch.failAt) return false;
    gWatch.failed = true;
    errno = ENOMEM;
    return true;
}

void* Kept(void* block) {
    if (gWatch.active && block != nullptr) Remember(block);
    return block;
}

void* AlignedNew(std::size_t size, std::align_val_t alignment) noexcept {
    if (FailsNow()) return nullptr;
    return Kept(__libc_memalign(static_cast<std::size_t>(alignment), size == 0 ? 1 : size));
}

}  // namespace

void StartWatching(std::size_t failAt) {
    gWatch.attempts = 0;
    gWatch.failed = false;
    gWatch.live = 0;
    for (void*& slot : gWatch.slots) slot = nullptr;
    gWatch.failAt = failAt;
    gWatch.active = true;
}

WatchReport StopWatching() {
    gWatch.active = false;
    return {gWatch.attempts, gWatch.failed, gWatch.live};
}

extern "C" {

void* malloc(std::size_t size) noexcept {
    if (FailsNow()) return nullptr;
    return Kept(__libc_malloc(size));
}

void* calloc(std::size_t count, std::size_t size) noexcept {
    if (FailsNow()) return nullptr;
    return Kept(__libc_calloc(count, size));
}

// A failed realloc leaves the block as it was, still owned by the caller.
void* realloc(void* block, std::size_t size) noexcept {
    if (block == nullptr) return malloc(size);
    if (size == 0) {
        free(block);
        return nullptr;
    }
    if (FailsNow()) return nullptr;
    void* moved = __libc_realloc(block, size);
    if (moved != nullptr) {
        Forget(block);
        Kept(moved);
    }
    return moved;
}

void free(void* block) noexcept {
    Forget(block);
    __libc_free(block);
}

}  // extern "C"

// Every form of operator new ends in malloc above (or in AlignedNew), so each is one attempt.
void* operator new(std::size_t size) {
    if (void* block = malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return malloc(size == 0 ? 1 : size);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    if (void* block = AlignedNew(size, alignment)) return block;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return operator new(size, alignment);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AlignedNew(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AlignedNew(size, alignment);
}

void operator delete(void* block) noexcept { free(block); }
void operator delete[](void* block) noexcept { free(block); }
void operator delete(void* block, std::size_t) noexcept { free(block); }
void operator delete[](void* block, std::size_t) noexcept { free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { free(block); }
void operator delete(void* block, std::align_val_t) noexcept { free(block); }
void operator delete[](void* block, std::align_val_t) noexcept { free(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { free(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { free(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { free(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    free(block);
}
