#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "data/private_heap.h"

namespace quorvel::heap {

// Blocks are carved from 64 KiB chunks; freed blocks go to a free list of
// their size class and are reused by the next block of that class. Small
// classes are multiples of 16 bytes up to 4 KiB; larger blocks are rounded
// up to a power of two, so that a table that keeps replacing a large value
// reuses the block it freed instead of growing without end. Blocks above a
// quarter chunk get a chunk of their own.
struct PrivateHeap {
  static constexpr std::size_t kChunk = 64 * 1024;
  static constexpr std::size_t kGrain = 16;
  static constexpr std::size_t kSmallLimit = 4096;
  static constexpr std::size_t kClasses = kSmallLimit / kGrain;
  static constexpr int kLargeClasses = 64;

  struct FreeBlock {
    FreeBlock* next;
  };

  std::vector<void*> chunks;
  std::size_t reserved = 0;
  char* cursor = nullptr;
  std::size_t left = 0;
  FreeBlock* free_lists[kClasses + 1] = {};
  FreeBlock* large_lists[kLargeClasses] = {};
};

namespace {

// A block's size class: its rounded size, and the free list it goes to.
struct SizeClass {
  std::size_t bytes = 0;
  PrivateHeap::FreeBlock** list = nullptr;
};

SizeClass size_class(PrivateHeap* heap, std::size_t size) {
  const std::size_t n = size == 0 ? 1 : size;
  if (n <= PrivateHeap::kSmallLimit) {
    const std::size_t rounded =
        (n + PrivateHeap::kGrain - 1) / PrivateHeap::kGrain * PrivateHeap::kGrain;
    return {rounded, &heap->free_lists[rounded / PrivateHeap::kGrain]};
  }
  int power = 13;  // 8 KiB, the first class above the small ones
  while (power < PrivateHeap::kLargeClasses - 1 && (std::size_t{1} << power) < n) ++power;
  if ((std::size_t{1} << power) < n) return {};  // no class holds it
  return {std::size_t{1} << power, &heap->large_lists[power]};
}

void* new_chunk(PrivateHeap* heap, std::size_t size) {
  void* chunk = std::malloc(size);
  if (!chunk) return nullptr;
  try {
    heap->chunks.push_back(chunk);
  } catch (const std::bad_alloc&) {
    std::free(chunk);
    return nullptr;
  }
  heap->reserved += size;
  return chunk;
}

}  // namespace

PrivateHeap* create() noexcept {
  return new (std::nothrow) PrivateHeap();
}

void destroy(PrivateHeap* heap) noexcept {
  if (!heap) return;
  for (void* chunk : heap->chunks) std::free(chunk);
  delete heap;
}

void* allocate(PrivateHeap* heap, std::size_t size, bool zero) noexcept {
  if (!heap) return nullptr;
  const SizeClass c = size_class(heap, size);
  if (c.bytes == 0) return nullptr;
  void* block = nullptr;
  if (*c.list) {
    PrivateHeap::FreeBlock* b = *c.list;
    *c.list = b->next;
    block = b;
  } else if (c.bytes > PrivateHeap::kChunk / 4) {
    block = new_chunk(heap, c.bytes);
  } else {
    if (heap->left < c.bytes) {
      heap->cursor = static_cast<char*>(new_chunk(heap, PrivateHeap::kChunk));
      heap->left = heap->cursor ? PrivateHeap::kChunk : 0;
      if (!heap->cursor) return nullptr;
    }
    block = heap->cursor;
    heap->cursor += c.bytes;
    heap->left -= c.bytes;
  }
  if (block && zero) std::memset(block, 0, c.bytes);
  return block;
}

void free(PrivateHeap* heap, void* block, std::size_t size) noexcept {
  if (!heap || !block) return;
  const SizeClass c = size_class(heap, size);
  if (c.bytes == 0) return;
  auto* b = static_cast<PrivateHeap::FreeBlock*>(block);
  b->next = *c.list;
  *c.list = b;
}

std::size_t reserved_bytes(PrivateHeap* heap) noexcept {
  return heap ? heap->reserved : 0;
}

}  // namespace quorvel::heap
