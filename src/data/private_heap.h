// A growable heap of a table's own, released in one step however many
// blocks it holds: a private heap of the system on Windows, an arena of
// large chunks on Linux.
#pragma once

#include <cstddef>

namespace quorvel::heap {

struct PrivateHeap;

// Null when the system cannot give one.
[[nodiscard]] PrivateHeap* create() noexcept;
// Frees every block of the heap at once.
void destroy(PrivateHeap* heap) noexcept;
// Null on failure. Blocks are aligned for any scalar or pointer.
[[nodiscard]] void* allocate(PrivateHeap* heap, std::size_t size, bool zero) noexcept;
// size is the size the block was allocated with.
void free(PrivateHeap* heap, void* block, std::size_t size) noexcept;
// What the heap holds from the system, for tests and diagnostics.
[[nodiscard]] std::size_t reserved_bytes(PrivateHeap* heap) noexcept;

}  // namespace quorvel::heap
