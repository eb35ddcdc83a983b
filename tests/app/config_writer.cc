// Test helper: writes keys of a settings file in an endless loop, to be
// killed at a random moment. Every value it writes is self-checking: the
// generation number, a colon, then a filler derived from the number.
#include <string>

#include "app/profile.h"

std::string value_for(int key, long generation) {
  const std::string head = std::to_string(generation) + ":";
  return head +
         std::string(static_cast<std::size_t>(500 + key * 300), static_cast<char>('a' + key));
}

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  for (long generation = 1;; ++generation) {
    for (int key = 0; key < 8; ++key) {
      quorvel::profile::write_string(argv[1], "main", "key" + std::to_string(key),
                                     value_for(key, generation));
    }
  }
}
