#include "http/headers.h"

#include <unordered_set>

#include "base/text_ops.h"

namespace quorvel::http {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kCookieSeparator = "; ";
constexpr std::string_view kDeletedMark = "=deleted";

// Drops `n` trailing bytes, or everything when there are fewer.
void drop_tail(Text& s, std::size_t n) {
  s.resize(s.size() > n ? s.size() - n : 0);
}

}  // namespace

Text trim_spaces(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = 0;  // past the last character that is no space
  bool leading = true;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t len = char_length_at(text, i);
    const bool space = text[i] == ' ' || text.substr(i, len) == kIdeographicSpace;
    if (leading && space) {
      begin = i + len;
    } else if (!space) {
      leading = false;
      end = i + len;
    }
    i += len;
  }
  return end > begin ? Text(text.substr(begin, end - begin)) : Text();
}

Text capitalize_first(std::string_view word) {
  Text out(word);
  if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 32);
  return out;
}

Text normalize_header_block(std::string_view block) {
  Text out;
  for (const Text& line : split_text(block, kCrLf)) {
    const std::size_t colon = find_text(line, ":");
    if (colon == npos) continue;
    const std::string_view name = std::string_view(line).substr(0, colon);
    if (find_text(name, "-") == npos) {
      out += capitalize_first(name);
    } else {
      const TextList pieces = split_text(name, "-");
      for (std::size_t k = 0; k < pieces.size(); ++k) {
        if (k > 0) out += '-';
        out += capitalize_first(pieces[k]);
      }
    }
    out.append(line, colon).append(kCrLf);
  }
  drop_tail(out, 2);
  return out;
}

Text header_value(std::string_view block, std::string_view name) {
  const Text marker = Text(name) + ": ";
  for (const Text& line : split_text(block, kCrLf)) {
    if (line.compare(0, name.size(), name) != 0 || line.size() < name.size()) continue;
    std::size_t last = npos;
    for (std::size_t at = find_text(line, marker); at != npos;
         at = find_text(line, marker, at + marker.size())) {
      last = at;
    }
    return last == npos ? Text() : line.substr(last + marker.size());
  }
  return {};
}

Text text_between(std::string_view text, std::string_view left, std::string_view right, int start,
                  bool ignore_case) {
  const Text l = replace_all(left, kQuoteToken, "\"");
  const Text r = replace_all(right, kQuoteToken, "\"");
  std::size_t from = start < 1 ? 0 : static_cast<std::size_t>(start - 1);
  if (from > text.size()) return {};
  // A start inside a double-byte character moves to the next whole one.
  std::size_t aligned = 0;
  while (aligned < from) aligned += char_length_at(text, aligned);
  const std::size_t p = find_text(text, l, aligned, ignore_case);
  if (p == npos) return {};
  const std::size_t s = p + l.size();
  const std::size_t q = find_text(text, r, s, ignore_case);
  if (q == npos) return {};
  return Text(text.substr(s, q - s));
}

Text cookie_name(std::string_view item) {
  const std::size_t eq = find_text(item, "=");
  return trim_spaces(eq == npos ? item : item.substr(0, eq));
}

bool has_cookie_named(const TextList& items, std::string_view name) {
  for (const Text& item : items) {
    if (cookie_name(item) == name) return true;
  }
  return false;
}

namespace {
Text trimmed_cookie_list(std::string_view list) {
  Text t = trim_spaces(list);
  if (!t.empty() && t.back() == ';') t += ' ';
  return t;
}
}  // namespace

Text merge_cookie_text(Text& old_list, Text& new_list) {
  const Text old_trimmed = trimmed_cookie_list(old_list);
  new_list = trimmed_cookie_list(new_list);
  TextList merged = split_text(new_list, kCookieSeparator);
  // The names present so far, so that a long hostile list costs linear
  // time; the outcome is that of asking has_cookie_named item by item.
  std::unordered_set<Text> names;
  for (const Text& item : merged) names.insert(cookie_name(item));
  for (const Text& item : split_text(old_trimmed, kCookieSeparator)) {
    if (names.insert(cookie_name(item)).second) merged.push_back(item);
  }
  Text out;
  for (const Text& item : merged) {
    if (!std::string_view(item).ends_with(kDeletedMark)) out.append(item).append(kCookieSeparator);
  }
  drop_tail(out, 2);
  out = remove_duplicate_items(out, kCookieSeparator, true);
  old_list = out;
  return out;
}

Text remove_duplicate_items(std::string_view text, std::string_view separator,
                            bool split_at_separator) {
  const TextList items = split_at_separator ? split_text(text, separator) : split_characters(text);
  // A set of the items kept so far answers what find_item would, in
  // constant time.
  std::unordered_set<std::string_view> kept;
  Text out;
  for (const Text& item : items) {
    if (!kept.insert(item).second) continue;
    out.append(item).append(separator);
  }
  drop_tail(out, separator.size());
  return out;
}

TextList split_characters(std::string_view text) {
  TextList pieces;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t len = 1;
    if (static_cast<unsigned char>(text[i]) >= 0x81 && i + 1 < text.size()) {
      len = 2;
    } else if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      len = 2;
    }
    pieces.emplace_back(text.substr(i, len));
    i += len;
  }
  return pieces;
}

int find_item(const TextList& items, std::string_view text) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i] == text) return static_cast<int>(i + 1);
  }
  return -1;
}

}  // namespace quorvel::http
