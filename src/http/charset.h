// The platform's character-set decoder, for pages that name their charset.
#pragma once

#include <string_view>

#include "base/text.h"

namespace quorvel::http {

// Decodes bytes in the named charset (a name as a page's meta tag gives it,
// case ignored) into internal text. Malformed sequences become U+FFFD and a
// leading byte-order mark is dropped. False, with `out` untouched, when the
// platform does not know the charset.
[[nodiscard]] bool decode_charset(std::string_view charset, std::string_view bytes, Text& out);

}  // namespace quorvel::http
