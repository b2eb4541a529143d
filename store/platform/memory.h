#pragma once

#include <cstddef>

// Large blocks of memory straight from the system, in huge pages where it gives them: touching
// tens of megabytes page by page (a workbook's bytes, its cells) costs thousands of page faults
// that huge pages spare.
namespace pondera::store {

// Blocks of this size or more are worth a mapping of their own.
inline constexpr size_t kLargeBlock = size_t{2} << 20;

// bytes of uninitialised memory (zero on first touch), aligned to kLargeBlock; throws
// std::bad_alloc when the system has none. Free it with freeLarge and the same size.
void *allocateLarge(size_t bytes);
void freeLarge(void *block, size_t bytes) noexcept;

}  // namespace pondera::store
