#include "store/platform/memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <new>

namespace pondera::store {

namespace {

size_t roundUp(size_t bytes) {
    return (bytes + kLargeBlock - 1) / kLargeBlock * kLargeBlock;
}

}  // namespace

void *allocateLarge(size_t bytes) {
    // Mapped one alignment more than needed and trimmed, so the block starts on a huge page.
    const size_t size = roundUp(bytes);
    void *map = ::mmap(nullptr, size + kLargeBlock, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<uintptr_t>(map);
    const uintptr_t aligned = (start + kLargeBlock - 1) & ~(uintptr_t{kLargeBlock} - 1);
    if (aligned > start) ::munmap(map, aligned - start);
    const uintptr_t end = aligned + size;
    if (start + size + kLargeBlock > end)
        ::munmap(reinterpret_cast<void *>(end), start + size + kLargeBlock - end);
    ::madvise(reinterpret_cast<void *>(aligned), size, MADV_HUGEPAGE);  // a hint: may be refused
    return reinterpret_cast<void *>(aligned);
}

void freeLarge(void *block, size_t bytes) noexcept {
    if (block) ::munmap(block, roundUp(bytes));
}

}  // namespace pondera::store
