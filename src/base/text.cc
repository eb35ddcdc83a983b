#include "base/text.h"

#include "base/codec.h"

namespace quorvel {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool is_trail_byte(unsigned char b) {
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE);
}
bool is_digit_byte(unsigned char b) {
  return b >= 0x30 && b <= 0x39;
}
bool is_high_surrogate(char16_t u) {
  return u >= 0xD800 && u <= 0xDBFF;
}
bool is_low_surrogate(char16_t u) {
  return u >= 0xDC00 && u <= 0xDFFF;
}

bool is_valid_start(std::string_view s, std::size_t i, std::size_t len) {
  const auto b = static_cast<unsigned char>(s[i]);
  return len > 1 || b < 0x80;
}

// Converts one run of valid GB18030 characters; a run the platform refuses
// (codes past the end of Unicode) is redone character by character so that
// only the refused characters become U+FFFD.
void decode_run(std::string_view s, std::size_t begin, std::size_t end, std::u16string& out) {
  if (begin == end) return;
  std::u16string part;
  if (codec::gb18030_to_utf16(s.substr(begin, end - begin), part)) {
    out += part;
    return;
  }
  for (std::size_t i = begin; i < end;) {
    const std::size_t len = char_length_at(s, i);
    if (codec::gb18030_to_utf16(s.substr(i, len), part) && !part.empty()) {
      out += part;
    } else {
      out += kReplacement;
    }
    i += len;
  }
}

// Lone surrogates become U+FFFD so that the platform converter sees only
// encodable text.
std::u16string without_lone_surrogates(std::u16string_view units) {
  std::u16string clean;
  clean.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t u = units[i];
    if (is_high_surrogate(u) && i + 1 < units.size() && is_low_surrogate(units[i + 1])) {
      clean += u;
      clean += units[++i];
    } else if (is_high_surrogate(u) || is_low_surrogate(u)) {
      clean += kReplacement;
    } else {
      clean += u;
    }
  }
  return clean;
}

void append_utf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one UTF-8 sequence at s[i]; returns its length, or 0 when the byte
// starts no valid sequence (overlong forms and surrogates included).
std::size_t decode_utf8_at(std::string_view s, std::size_t i, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  std::size_t len = 0;
  char32_t min = 0;
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  } else if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

}  // namespace

std::size_t char_length_at(std::string_view s, std::size_t i) noexcept {
  const auto b = static_cast<unsigned char>(s[i]);
  if (!is_lead_byte(b) || i + 1 >= s.size()) return 1;
  const auto b1 = static_cast<unsigned char>(s[i + 1]);
  if (is_trail_byte(b1)) return 2;
  if (is_digit_byte(b1) && i + 3 < s.size() && is_lead_byte(static_cast<unsigned char>(s[i + 2])) &&
      is_digit_byte(static_cast<unsigned char>(s[i + 3]))) {
    return 4;
  }
  return 1;
}

namespace {
bool is_ascii(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}
}  // namespace

// ASCII is the same in every encoding here, and most texts that cross the
// edges (Base64, JSON keys, addresses) are ASCII: no converter for them.
std::u16string to_utf16_units(std::string_view text) {
  if (is_ascii(text)) return std::u16string(text.begin(), text.end());
  std::u16string out;
  out.reserve(text.size());
  std::size_t run_start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t len = char_length_at(text, i);
    if (is_valid_start(text, i, len)) {
      i += len;
      continue;
    }
    decode_run(text, run_start, i, out);
    out += kReplacement;
    run_start = ++i;
  }
  decode_run(text, run_start, text.size(), out);
  return out;
}

Text from_utf16_units(std::u16string_view units) {
  bool ascii = true;
  for (char16_t u : units) ascii = ascii && u < 0x80;
  if (ascii) return Text(units.begin(), units.end());
  const std::u16string clean = without_lone_surrogates(units);
  std::string out;
  if (codec::utf16_to_gb18030(clean, out)) return out;
  // Not expected once surrogates are clean; convert piecewise so that one
  // refused unit cannot lose the rest of the text.
  out.clear();
  std::string part;
  for (std::size_t i = 0; i < clean.size(); ++i) {
    const std::size_t n = is_high_surrogate(clean[i]) ? 2 : 1;
    out += codec::utf16_to_gb18030(std::u16string_view(clean).substr(i, n), part) ? part : "?";
    i += n - 1;
  }
  return out;
}

Bytes to_utf16(std::string_view text) {
  Bytes out;
  if (text.empty()) return out;
  const std::u16string units = to_utf16_units(text);
  out.reserve(units.size() * 2 + 2);
  for (char16_t u : units) {
    out.push_back(static_cast<std::uint8_t>(u & 0xFF));
    out.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}

Text from_utf16(const std::uint8_t* data, std::size_t size) {
  std::u16string units;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    const auto u = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (u == 0) break;
    units += u;
  }
  return from_utf16_units(units);
}

std::u16string utf8_to_utf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t cp = 0;
    const std::size_t len = decode_utf8_at(utf8, i, cp);
    if (len == 0) {
      out += kReplacement;
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    i += len;
  }
  return out;
}

std::string utf16_to_utf8(std::u16string_view units) {
  // Written through a pointer into a buffer of the largest size: appending
  // byte by byte costs more than the encoding itself.
  std::string out(units.size() * 3, '\0');
  char* p = out.data();
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t cp = units[i];
    if (cp < 0x80) {
      *p++ = static_cast<char>(cp);
      continue;
    }
    if (is_high_surrogate(units[i]) && i + 1 < units.size() && is_low_surrogate(units[i + 1])) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (units[++i] - 0xDC00);
    } else if (is_high_surrogate(units[i]) || is_low_surrogate(units[i])) {
      cp = kReplacement;
    }
    std::string bytes;
    append_utf8(cp, bytes);
    for (char b : bytes) *p++ = b;
  }
  out.resize(static_cast<std::size_t>(p - out.data()));
  return out;
}

bool utf8_to_utf16_strict(std::string_view utf8, std::u16string& out) {
  out.clear();
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t cp = 0;
    const std::size_t len = decode_utf8_at(utf8, i, cp);
    if (len == 0) return false;
    i += len;
  }
  out = utf8_to_utf16(utf8);
  return true;
}

bool utf16_to_utf8_strict(std::u16string_view units, std::string& out) {
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (units[i] < 0xD800 || units[i] > 0xDFFF) continue;
    if (!is_high_surrogate(units[i]) || i + 1 >= units.size() || !is_low_surrogate(units[i + 1])) {
      return false;
    }
    ++i;
  }
  out = utf16_to_utf8(units);
  return true;
}

std::string to_utf8(std::string_view text) {
  return utf16_to_utf8(to_utf16_units(text));
}

Text from_utf8(std::string_view utf8) {
  return from_utf16_units(utf8_to_utf16(utf8));
}

}  // namespace quorvel
