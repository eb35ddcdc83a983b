// Any cipher text and key text: empty text or a plain text, never a crash.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "binding/payload_cipher.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  const auto split = in.find('|');
  const std::string_view key = split == std::string_view::npos ? "7" : in.substr(0, split);
  const std::string_view cipher = split == std::string_view::npos ? in : in.substr(split + 1);
  (void)quorvel::decipher_payload(cipher, key);
  (void)quorvel::encipher_payload(cipher, key);
  return 0;
}
