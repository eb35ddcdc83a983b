#include "base/text_ops.h"

#include <climits>

namespace quorvel {
namespace {

char ascii_lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool matches_at(std::string_view hay, std::size_t i, std::string_view needle, bool ignore_case) {
  if (hay.size() - i < needle.size()) return false;
  if (!ignore_case) return hay.compare(i, needle.size(), needle) == 0;
  for (std::size_t k = 0; k < needle.size(); ++k) {
    if (ascii_lower(hay[i + k]) != ascii_lower(needle[k])) return false;
  }
  return true;
}

}  // namespace

bool equal_ignoring_case(std::string_view a, std::string_view b) noexcept {
  return a.size() == b.size() && matches_at(a, 0, b, true);
}

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) noexcept {
  return text.size() >= prefix.size() && matches_at(text, 0, prefix, true);
}

TextList split_text(std::string_view text, std::string_view separator) {
  TextList pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) return {Text(text)};
  std::size_t piece_start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, separator.size(), separator) == 0) {
      pieces.emplace_back(text.substr(piece_start, i - piece_start));
      i += separator.size();
      piece_start = i;
    } else {
      i += (static_cast<unsigned char>(text[i]) >= 0x80 && i + 1 < text.size()) ? 2 : 1;
    }
  }
  if (piece_start < text.size()) pieces.emplace_back(text.substr(piece_start));
  return pieces;
}

std::size_t find_text(std::string_view hay, std::string_view needle, std::size_t from,
                      bool ignore_case) {
  if (from > hay.size()) return npos;
  std::size_t i = from;
  if (needle.empty()) return i;
  if (!ignore_case) {
    // The library search finds candidates fast; a candidate counts only
    // when the walk over whole characters lands on it.
    for (;;) {
      const std::size_t p = hay.find(needle, i);
      if (p == npos) return npos;
      while (i < p) i += static_cast<unsigned char>(hay[i]) < 0x80 ? 1 : char_length_at(hay, i);
      if (i == p) return p;
    }
  }
  while (i < hay.size()) {
    if (matches_at(hay, i, needle, ignore_case)) return i;
    i += char_length_at(hay, i);
  }
  return npos;
}

Text replace_all(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return Text(text);
  Text out;
  out.reserve(text.size());
  std::size_t done = 0;
  for (std::size_t at = find_text(text, from); at != npos; at = find_text(text, from, done)) {
    out.append(text.substr(done, at - done)).append(to);
    done = at + from.size();
  }
  out.append(text.substr(done));
  return out;
}

int text_to_int(std::string_view value) noexcept {
  std::size_t i = 0;
  while (i < value.size() && (value[i] == ' ' || (value[i] >= '\t' && value[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
  long long n = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    n = n * 10 + (value[i] - '0');
    if (n > static_cast<long long>(INT_MAX) + 1) break;
  }
  if (negative) n = -n;
  if (n > INT_MAX) return INT_MAX;
  if (n < INT_MIN) return INT_MIN;
  return static_cast<int>(n);
}

}  // namespace quorvel
