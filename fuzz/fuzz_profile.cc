// Any settings file reads and takes a new value; the value reads back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string in(reinterpret_cast<const char*>(data), size);
  (void)quorvel::profile::find_value(in, "main", "hostdata");
  const std::string out = quorvel::profile::with_value(in, "main", "wide", "1080");
  if (quorvel::profile::find_value(out, "main", "wide") != "1080") __builtin_trap();
  return 0;
}
