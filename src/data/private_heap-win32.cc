#include <windows.h>

#include "data/private_heap.h"

namespace quorvel::heap {

// The handle of a growable private heap (HeapCreate with no flags).
struct PrivateHeap;

PrivateHeap* create() noexcept {
  return reinterpret_cast<PrivateHeap*>(HeapCreate(0, 0, 0));
}

void destroy(PrivateHeap* heap) noexcept {
  if (heap) HeapDestroy(reinterpret_cast<HANDLE>(heap));
}

void* allocate(PrivateHeap* heap, std::size_t size, bool zero) noexcept {
  if (!heap) return nullptr;
  return HeapAlloc(reinterpret_cast<HANDLE>(heap), zero ? HEAP_ZERO_MEMORY : 0,
                   size == 0 ? 1 : size);
}

void free(PrivateHeap* heap, void* block, std::size_t) noexcept {
  if (heap && block) HeapFree(reinterpret_cast<HANDLE>(heap), 0, block);
}

// Every committed entry: what is in use, what is free, and their overhead.
std::size_t reserved_bytes(PrivateHeap* heap) noexcept {
  if (!heap) return 0;
  const auto handle = reinterpret_cast<HANDLE>(heap);
  if (!HeapLock(handle)) return 0;
  std::size_t total = 0;
  PROCESS_HEAP_ENTRY entry{};
  while (HeapWalk(handle, &entry)) {
    if (entry.wFlags & (PROCESS_HEAP_REGION | PROCESS_HEAP_UNCOMMITTED_RANGE)) continue;
    total += entry.cbData + entry.cbOverhead;
  }
  HeapUnlock(handle);
  return total;
}

}  // namespace quorvel::heap
