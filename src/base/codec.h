// The platform's GB18030 converter. The core hands it only runs of characters
// that are structurally valid (GB18030 input) or free of lone surrogates
// (UTF-16 input), so both platforms see the same input and the core alone
// decides what happens to malformed text.
#pragma once

#include <string>
#include <string_view>

namespace quorvel::codec {

// Converts the whole run or fails (returning false, output unspecified).
[[nodiscard]] bool gb18030_to_utf16(std::string_view run, std::u16string& out);
[[nodiscard]] bool utf16_to_gb18030(std::u16string_view run, std::string& out);

// The same conversion from a table generated from glibc's iconv, for
// systems without a GB18030 code page of their own (Wine has none).
namespace table {
[[nodiscard]] bool gb18030_to_utf16(std::string_view run, std::u16string& out);
[[nodiscard]] bool utf16_to_gb18030(std::u16string_view run, std::string& out);
}  // namespace table

}  // namespace quorvel::codec
