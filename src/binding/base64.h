// Base64 with the standard alphabet and "=" padding, no line breaks.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/text.h"

namespace quorvel::base64 {

[[nodiscard]] std::string encode(const Bytes& bytes);
// Nothing for a character outside the alphabet, misplaced padding or a
// length that leaves a lone sixth of a byte; missing padding is accepted.
[[nodiscard]] std::optional<Bytes> decode(std::string_view text);

}  // namespace quorvel::base64
