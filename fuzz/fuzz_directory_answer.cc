// Any answer decodes to an acceptance or a refusal, never a crash.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "binding/directory_answer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const quorvel::DirectoryAnswer answer =
      quorvel::decode_directory_answer(std::string_view(reinterpret_cast<const char*>(data), size));
  // An accepted answer always names a web site.
  if (answer.accepted() && answer.site_address.empty()) __builtin_trap();
  return 0;
}
