// Text as the program holds it, and the conversions at its edges.
//
// Internal text is 8-bit GB18030: every character of code page 936 has the
// same bytes, and characters outside it (emoji in a visitor's message) still
// survive a round trip. Positions are byte positions; a double-byte character
// is a lead byte 0x81..0xFE followed by one more byte.
//
// Conversion rule for bad input, the same on every platform: each malformed
// unit (a byte that starts no valid GB18030 or UTF-8 sequence, a structurally
// valid GB18030 code that maps to no character, a lone UTF-16 surrogate)
// becomes U+FFFD, and decoding resumes at the next byte or unit. GB18030 can
// encode U+FFFD (bytes 84 31 A4 37), so no conversion ever needs "?".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

using Text = std::string;
using Bytes = std::vector<std::uint8_t>;

// Length in bytes of the GB18030 character that starts at s[i]: 1, 2 or 4.
// A byte that starts no valid sequence (0x80, 0xFF, a lead byte without a
// valid second byte) counts as a character of its own. i must be < s.size().
[[nodiscard]] std::size_t char_length_at(std::string_view s, std::size_t i) noexcept;

// True for a byte that leads a double-byte character (0x81..0xFE).
[[nodiscard]] constexpr bool is_lead_byte(unsigned char b) noexcept {
  return b >= 0x81 && b <= 0xFE;
}

// Internal text to UTF-16LE bytes with a two-byte terminator; empty text
// gives an empty array.
[[nodiscard]] Bytes to_utf16(std::string_view text);
// UTF-16LE bytes to internal text; reading stops at the first zero unit, an
// odd last byte is ignored.
[[nodiscard]] Text from_utf16(const std::uint8_t* data, std::size_t size);
[[nodiscard]] inline Text from_utf16(const Bytes& bytes) {
  return from_utf16(bytes.data(), bytes.size());
}

// The same conversions with code units, for wide-character platform calls.
[[nodiscard]] std::u16string to_utf16_units(std::string_view text);
[[nodiscard]] Text from_utf16_units(std::u16string_view units);

// The bridge for toolkits and files that speak UTF-8.
[[nodiscard]] std::string to_utf8(std::string_view text);
[[nodiscard]] Text from_utf8(std::string_view utf8);

// Strict conversions, as a script engine's URI coding does them: false
// for invalid UTF-8 (overlong forms and encoded surrogates included) or a
// lone surrogate.
[[nodiscard]] bool utf8_to_utf16_strict(std::string_view utf8, std::u16string& out);
[[nodiscard]] bool utf16_to_utf8_strict(std::u16string_view units, std::string& out);

// UTF-8 and UTF-16 between each other, with the same bad-input rule.
[[nodiscard]] std::u16string utf8_to_utf16(std::string_view utf8);
[[nodiscard]] std::string utf16_to_utf8(std::u16string_view units);

}  // namespace quorvel
