// The platform's cryptographic primitives: libcrypto on Linux, BCrypt on
// Windows. Failures give empty results.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "base/text.h"

namespace quorvel::crypto {

using Digest = std::array<std::uint8_t, 16>;
using Block = std::array<std::uint8_t, 16>;

[[nodiscard]] Digest md5(std::string_view bytes);
// Raw AES-128-CBC over whole blocks: the caller pads and unpads. The input
// length must be a multiple of 16; otherwise the result is empty.
[[nodiscard]] Bytes aes128_cbc(bool encrypt, const Block& key, const Block& iv, const Bytes& data);

[[nodiscard]] inline Bytes aes128_cbc_encrypt(const Block& key, const Block& iv,
                                              const Bytes& data) {
  return aes128_cbc(true, key, iv, data);
}
[[nodiscard]] inline Bytes aes128_cbc_decrypt(const Block& key, const Block& iv,
                                              const Bytes& data) {
  return aes128_cbc(false, key, iv, data);
}

}  // namespace quorvel::crypto
