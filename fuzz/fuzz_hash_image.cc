// Any image loads or is refused without reading outside it; a loaded
// table saves to an image that loads to the same count.
#include <cstddef>
#include <cstdint>

#include "data/hash_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quorvel::HashTable t;
  const int n = t.load(quorvel::Bytes(data, data + size));
  if (n > 0) {
    quorvel::HashTable u;
    if (u.load(t.save()) != n) __builtin_trap();
  }
  return 0;
}
