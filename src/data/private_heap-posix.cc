#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "data/private_heap.h"

namespace quorvel::heap {

// Blocks are carved from 64 KiB chunks; freed blocks go to a free list of
// their size class (multiples of 16 bytes up to 4 KiB) and are reused by
// the next block of that class. Larger blocks get a chunk of their own.
struct PrivateHeap {
  static constexpr std::size_t kChunk = 64 * 1024;
  static constexpr std::size_t kGrain = 16;
  static constexpr std::size_t kClasses = 4096 / kGrain;

  struct FreeBlock {
    FreeBlock* next;
  };

  std::vector<void*> chunks;
  char* cursor = nullptr;
  std::size_t left = 0;
  FreeBlock* free_lists[kClasses + 1] = {};
};

namespace {

std::size_t rounded(std::size_t size) {
  return (size + PrivateHeap::kGrain - 1) / PrivateHeap::kGrain * PrivateHeap::kGrain;
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
  const std::size_t n = rounded(size == 0 ? 1 : size);
  if (n < size) return nullptr;  // overflow
  void* block = nullptr;
  const std::size_t cls = n / PrivateHeap::kGrain;
  if (cls <= PrivateHeap::kClasses && heap->free_lists[cls]) {
    PrivateHeap::FreeBlock* b = heap->free_lists[cls];
    heap->free_lists[cls] = b->next;
    block = b;
  } else if (n > PrivateHeap::kChunk / 4) {
    block = new_chunk(heap, n);
  } else {
    if (heap->left < n) {
      heap->cursor = static_cast<char*>(new_chunk(heap, PrivateHeap::kChunk));
      heap->left = heap->cursor ? PrivateHeap::kChunk : 0;
      if (!heap->cursor) return nullptr;
    }
    block = heap->cursor;
    heap->cursor += n;
    heap->left -= n;
  }
  if (block && zero) std::memset(block, 0, n);
  return block;
}

void free(PrivateHeap* heap, void* block, std::size_t size) noexcept {
  if (!heap || !block) return;
  const std::size_t cls = rounded(size == 0 ? 1 : size) / PrivateHeap::kGrain;
  // Large blocks stay with their chunk until the heap goes.
  if (cls > PrivateHeap::kClasses) return;
  auto* b = static_cast<PrivateHeap::FreeBlock*>(block);
  b->next = heap->free_lists[cls];
  heap->free_lists[cls] = b;
}

}  // namespace quorvel::heap
