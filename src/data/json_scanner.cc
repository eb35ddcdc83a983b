#include "data/json_scanner.h"

#include <algorithm>
#include <cstring>

#include "base/text_ops.h"

namespace quorvel {
namespace {

constexpr std::string_view kTokens = "{}[]\":,";
constexpr std::string_view kOutOfRange = "\xB3\xAC\xB3\xF6";  // "超出"

std::size_t token_index(char token) {
  return kTokens.find(token);
}

// Character classes of the rewrite patterns, tested on whole characters.
bool is_ideographic_space(std::string_view s, std::size_t i, std::size_t len) {
  return len == 2 && s.compare(i, 2, kIdeographicSpace) == 0;
}
// "[\s　]": ASCII white space or the ideographic space.
bool is_white(std::string_view s, std::size_t i, std::size_t len) {
  const char c = s[i];
  return (len == 1 && (c == ' ' || (c >= '\t' && c <= '\r'))) || is_ideographic_space(s, i, len);
}
// "[ 　\t]"
bool is_blank(std::string_view s, std::size_t i, std::size_t len) {
  return (len == 1 && (s[i] == ' ' || s[i] == '\t')) || is_ideographic_space(s, i, len);
}
// "[ 　"\t]"
bool is_blank_or_quote(std::string_view s, std::size_t i, std::size_t len) {
  return (len == 1 && s[i] == '"') || is_blank(s, i, len);
}

// Multi-line "^" and "$": LF, CR and CR LF end a line; the place between
// the CR and the LF of a pair is no boundary.
bool at_line_start(std::string_view s, std::size_t i) {
  if (i == 0) return true;
  if (s[i - 1] == '\n') return true;
  return s[i - 1] == '\r' && !(i < s.size() && s[i] == '\n');
}
bool at_line_end(std::string_view s, std::size_t i) {
  if (i >= s.size() || s[i] == '\r') return true;
  return s[i] == '\n' && !(i > 0 && s[i - 1] == '\r');
}

// End of the run of characters of one class that starts at i (i itself
// when the character there is not of the class). Remembers the last run,
// so that asking again from inside it costs nothing: without this, a long
// run of spaces would be measured once per character.
template <bool (*InClass)(std::string_view, std::size_t, std::size_t)>
class RunFinder {
 public:
  explicit RunFinder(std::string_view s) : s_(s) {}
  std::size_t end_from(std::size_t i) {
    if (i > start_ && i < end_) return end_;
    std::size_t j = i;
    while (j < s_.size()) {
      const std::size_t len = char_length_at(s_, j);
      if (!InClass(s_, j, len)) break;
      j += len;
    }
    start_ = i;
    end_ = j;
    return j;
  }

 private:
  std::string_view s_;
  std::size_t start_ = npos;
  std::size_t end_ = 0;
};

// Bytes that can start a match of a rewrite pattern; everything else is
// copied in bulk, which is where the time of a large text goes.
struct Interesting {
  bool ascii[128] = {};
  constexpr explicit Interesting(std::string_view bytes) {
    for (char c : bytes) ascii[static_cast<unsigned char>(c)] = true;
  }
};
constexpr Interesting kWhite(" \t\n\v\f\r");
constexpr Interesting kClosers("]}\"");
constexpr Interesting kBlank(" \t");
constexpr Interesting kWhiteOrQuote(" \t\n\v\f\r\"");

// End of the run from i of characters that cannot start a match: ASCII
// bytes outside the set, and double-byte characters other than the
// ideographic space (when that counts).
std::size_t plain_run_end(std::string_view s, std::size_t i, const Interesting& set,
                          bool ideographic_counts) {
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      if (set.ascii[b]) break;
      ++i;
      continue;
    }
    const std::size_t len = char_length_at(s, i);
    if (ideographic_counts && is_ideographic_space(s, i, len)) break;
    i += len;
  }
  return i;
}

// Copies a plain run at i, if there is one; true when it did.
bool copy_plain(std::string_view s, std::size_t& i, Text& out, const Interesting& set,
                bool ideographic_counts) {
  const std::size_t end = plain_run_end(s, i, set, ideographic_counts);
  if (end == i) return false;
  out.append(s.substr(i, end - i));
  i = end;
  return true;
}

void append_char(std::string_view s, std::size_t& i, Text& out) {
  const std::size_t len = char_length_at(s, i);
  out.append(s.substr(i, len));
  i += len;
}

// "[\s　]+(\[|{|")" replaced by "$1".
Text drop_white_before_openers(std::string_view s) {
  Text out;
  out.reserve(s.size());
  RunFinder<is_white> white(s);
  for (std::size_t i = 0; i < s.size();) {
    if (copy_plain(s, i, out, kWhite, true)) continue;
    const std::size_t j = white.end_from(i);
    if (j > i) {
      if (j < s.size() && (s[j] == '[' || s[j] == '{' || s[j] == '"')) {
        out += s[j];
        i = j + 1;
      } else {
        out.append(s.substr(i, j - i));
        i = j;
      }
      continue;
    }
    append_char(s, i, out);
  }
  return out;
}

// "(\]|}|")[\s　]+" replaced by "$1".
Text drop_white_after_closers(std::string_view s) {
  Text out;
  out.reserve(s.size());
  RunFinder<is_white> white(s);
  for (std::size_t i = 0; i < s.size();) {
    if (copy_plain(s, i, out, kClosers, false)) continue;
    if (s[i] == ']' || s[i] == '}' || s[i] == '"') {
      out += s[i];
      i = white.end_from(i + 1);
      continue;
    }
    append_char(s, i, out);
  }
  return out;
}

}  // namespace

Text JsonScanner::compact(std::string_view text) {
  return drop_white_after_closers(drop_white_before_openers(text));
}

// "^[ 　\t]+|[ 　\t]+$" replaced by nothing.
Text JsonScanner::trim_spaces(std::string_view s) {
  Text out;
  out.reserve(s.size());
  RunFinder<is_blank> blank(s);
  for (std::size_t i = 0; i < s.size();) {
    if (copy_plain(s, i, out, kBlank, true)) continue;
    const std::size_t j = blank.end_from(i);
    if (j > i) {
      if (!at_line_start(s, i) && !at_line_end(s, j)) out.append(s.substr(i, j - i));
      i = j;
      continue;
    }
    append_char(s, i, out);
  }
  return out;
}

// "[\s　]+"|"[\s　]+|^[ 　"\t]+|[ 　"\t]+$" replaced by nothing; the
// alternatives are tried in that order at each place, as the engine does.
Text JsonScanner::trim_quotes(std::string_view s) {
  Text out;
  out.reserve(s.size());
  RunFinder<is_white> white(s);
  RunFinder<is_blank_or_quote> edge(s);
  for (std::size_t i = 0; i < s.size();) {
    if (copy_plain(s, i, out, kWhiteOrQuote, true)) continue;
    const std::size_t w = white.end_from(i);
    if (w > i && w < s.size() && s[w] == '"') {
      i = w + 1;
      continue;
    }
    if (s[i] == '"') {
      const std::size_t after = white.end_from(i + 1);
      if (after > i + 1) {
        i = after;
        continue;
      }
    }
    const std::size_t e = edge.end_from(i);
    if (e > i && (at_line_start(s, i) || at_line_end(s, e))) {
      i = e;
      continue;
    }
    append_char(s, i, out);
  }
  return out;
}

Text JsonScanner::restore_escaped_quotes(std::string_view text) {
  return replace_all(text, "\\''", "\\\"");
}

// "([^\.])(\[\d+\])(\.?)" replaced by "$1.$2$3".
Text JsonScanner::normalise_path(std::string_view s) {
  Text out;
  out.reserve(s.size() + 8);
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t len = char_length_at(s, i);
    std::size_t j = i + len;
    if (s[i] != '.' && j < s.size() && s[j] == '[') {
      std::size_t k = j + 1;
      while (k < s.size() && s[k] >= '0' && s[k] <= '9') ++k;
      if (k > j + 1 && k < s.size() && s[k] == ']') {
        ++k;
        if (k < s.size() && s[k] == '.') ++k;
        out.append(s.substr(i, len)).append(".").append(s.substr(j, k - j));
        i = k;
        continue;
      }
    }
    out.append(s.substr(i, len));
    i = j;
  }
  return out;
}

namespace {

// What loading does to a text: escaped backslashes are parked as "\|\|"
// so that the escaped quotes can be turned into "\''", a form without a
// double quote; the parking is then undone (a literal "\|\|" in the input
// thus reads as "\\"); then the text is compacted.
Text loaded_form(std::string_view text) {
  if (text.find('\\') == std::string_view::npos) return JsonScanner::compact(text);
  Text t = replace_all(text, "\\\\", "\\|\\|");
  t = replace_all(t, "\\\"", "\\''");
  t = replace_all(t, "\\|\\|", "\\\\");
  return JsonScanner::compact(t);
}

// The text with string contents blanked, and the later bytes of every
// double-byte character outside strings hidden: they may equal a bracket
// or a brace.
std::string blanked(std::string_view source) {
  std::string structure(source);
  std::size_t open = npos;
  for (std::size_t i = 0; i < structure.size();) {
    const std::size_t len = char_length_at(structure, i);
    if (structure[i] == '"') {
      if (open == npos) {
        open = i;
      } else {
        std::memset(structure.data() + open + 1, ' ', i - open - 1);
        open = npos;
      }
    } else if (len > 1) {
      std::memset(structure.data() + i + 1, 'x', len - 1);
    }
    i += len;
  }
  return structure;
}

}  // namespace

bool JsonScanner::verify_pieces = false;
int JsonScanner::piece_checks = 0;
int JsonScanner::piece_mismatches = 0;

void JsonScanner::load_text(const SharedText& text) {
  find_cache_.fill({});
  balance_from_ = balance_to_ = -1;
  // A piece of the loaded text (a member's value, split in turn) is already
  // in loaded form: loading is idempotent on a piece cut at member
  // boundaries, which holds no white space before an opener or after a
  // closer and no escaped quote. It keeps working on the buffers already
  // there; its blanked copy is the same piece of theirs, for it starts
  // outside any string, where a member's value starts.
  if (text.buffer() != nullptr && text.buffer() == source_buffer_ &&
      text.offset() >= structure_offset_ &&
      text.offset() + text.size() <= structure_offset_ + structure_buffer_->size()) {
    if (verify_pieces) ++piece_checks;
    if (!verify_pieces || loaded_form(text.view()) == text.view()) {
      source_ = text.view();
      structure_ = std::string_view(*structure_buffer_)
                       .substr(text.offset() - structure_offset_, text.size());
      return;
    }
    ++piece_mismatches;
  }
  Text loaded = loaded_form(text.view());
  const bool unchanged = loaded == text.view() && text.buffer() != nullptr;
  // A text that loading does not change is shared, not copied.
  if (unchanged) {
    source_buffer_ = text.buffer();
    source_ = text.view();
    structure_offset_ = text.offset();
  } else {
    source_buffer_ = std::make_shared<const std::string>(std::move(loaded));
    source_ = *source_buffer_;
    structure_offset_ = 0;
  }
  structure_buffer_ = std::make_shared<const std::string>(blanked(source_));
  structure_ = *structure_buffer_;
}

long JsonScanner::find(char token, long from) {
  if (from < 1) from = 1;
  if (from > length()) return -1;
  FindCache& cache = find_cache_[token_index(token)];
  if (cache.from != -1 && from >= cache.from && (cache.result == -1 || from <= cache.result)) {
    return cache.result;
  }
  const void* hit = std::memchr(structure_.data() + from - 1, token,
                                static_cast<std::size_t>(length() - from + 1));
  const long result =
      hit ? static_cast<long>(static_cast<const char*>(hit) - structure_.data()) + 1 : -1;
  cache = {from, result};
  return result;
}

SharedText JsonScanner::source_between(long from, long to) const {
  if (from < 0 || to <= from + 1 || from >= static_cast<long>(source_.size())) return {};
  return SharedText(source_buffer_, source_.substr(static_cast<std::size_t>(from),
                                                   static_cast<std::size_t>(to - from - 1)));
}

bool JsonScanner::is_balanced(long from, long to) {
  if (from == -1 || to == -1) return false;
  if (from != balance_from_ || to < balance_to_) {
    balance_from_ = from;
    balance_to_ = from + 1;
    balance_counts_.fill(0);
  }
  // Counting continues from where the last question about this start ended,
  // a block at a time: a long string's blanked bytes are passed quickly.
  const long end = to < length() + 1 ? to : length() + 1;
  constexpr long kBlock = 4096;
  for (long p = balance_to_; p < end;) {
    pacer_.step();
    const long stop = std::min(end, p + kBlock);
    for (; p < stop; ++p) {
      switch (structure_[static_cast<std::size_t>(p - 1)]) {
        case '{':
          ++balance_counts_[0];
          break;
        case '}':
          ++balance_counts_[1];
          break;
        case '[':
          ++balance_counts_[2];
          break;
        case ']':
          ++balance_counts_[3];
          break;
        case '"':
          ++balance_counts_[4];
          break;
        default:
          break;
      }
    }
  }
  if (end > balance_to_) balance_to_ = end;
  return balance_counts_[0] == balance_counts_[1] && balance_counts_[2] == balance_counts_[3] &&
         balance_counts_[4] % 2 == 0;
}

JsonKind JsonScanner::value_kind(std::string_view text) {
  if (text.empty()) return JsonKind::Plain;
  if (text[0] == '{') return JsonKind::Object;
  if (text[0] == '[') return JsonKind::Array;
  return JsonKind::Plain;
}

Text JsonScanner::read_key(long a, long& out_pos) {
  if (a < 1 || a > length()) {
    out_pos = -1;
    return Text(kOutOfRange);
  }
  const char at = structure_[static_cast<std::size_t>(a - 1)];
  if (at != '{' && at != ',') {
    const long brace = find('{', a + 1);
    if (brace != -1) a = brace;
  }
  const long q1 = find('"', a);
  const long q2 = q1 == -1 ? -1 : find('"', q1 + 1);
  long colon = find(':', a + 1);
  while (colon != -1 && q1 != -1 && q2 != -1 && colon > q1 && colon < q2) {
    colon = find(':', colon + 1);
  }
  if (colon == -1) {
    out_pos = -1;
    return Text(kOutOfRange);
  }
  out_pos = colon;
  return trim_quotes(source_between(a, colon).view());
}

SharedText JsonScanner::read_value(long a, long& out_pos) {
  long last = 0;
  long s = a;
  for (;;) {
    pacer_.step();
    const long lb = find('[', s + 1);
    const long lc = find('{', s + 1);
    const long cm = find(',', s + 1);
    const long rc = find('}', s + 1);
    const long end = (cm != -1 && (cm < rc || rc == -1)) ? cm : (rc != -1 ? rc : length() + 1);
    long candidate;
    if (lb != -1 && lb < end) {
      candidate = find(']', lb + 1);
    } else if (lc != -1 && lc < end) {
      candidate = find('}', lc + 1);
    } else {
      candidate = end;
      if (candidate <= last) candidate = -1;
      last = candidate;
    }
    if (candidate == -1) {
      out_pos = -1;
      return SharedText(std::string(kOutOfRange));
    }
    if (is_balanced(a, candidate)) {
      out_pos = candidate;
      return source_between(a, candidate);
    }
    s = candidate;
  }
}

namespace {

// trim_spaces of a piece, shared when trimming changes nothing (no line
// break inside, no blank at either end), which is the common case.
SharedText trimmed(const SharedText& piece) {
  const std::string_view v = piece.view();
  const auto blank_end = [](std::string_view s, bool front) {
    if (s.empty()) return false;
    const char c = front ? s.front() : s.back();
    if (c == ' ' || c == '\t') return true;
    return s.size() >= 2 && (front ? s.substr(0, 2) : s.substr(s.size() - 2)) == kIdeographicSpace;
  };
  if (v.find_first_of("\r\n") == std::string_view::npos && !blank_end(v, true) &&
      !blank_end(v, false)) {
    return piece;
  }
  Text trimmed_text = JsonScanner::trim_spaces(v);
  if (trimmed_text == v) return piece;
  return SharedText(std::move(trimmed_text));
}

}  // namespace

int JsonScanner::split_object(const SharedText& text, bool reload, JsonPairs& pairs) {
  if (reload) load_text(text);
  pairs.clear();
  long p = find('{', 1);
  while (p != -1) {
    pacer_.step();
    Text key = read_key(p, p);
    if (p == -1) break;
    SharedText value = trimmed(read_value(p, p));
    if (p == -1) break;
    pairs.emplace_back(std::move(key), std::move(value));
  }
  return static_cast<int>(pairs.size());
}

int JsonScanner::split_array(const SharedText& text, bool reload, JsonTexts& elements) {
  if (reload) load_text(text);
  elements.clear();
  long p = find('[', 1);
  while (p != -1) {
    pacer_.step();
    const long start = p;
    do {
      const long comma = find(',', p + 1);
      p = comma != -1 ? comma : find(']', p + 1);
      pacer_.step();
    } while (p != -1 && !is_balanced(start, p));
    if (p == -1) break;
    elements.push_back(trimmed(source_between(start, p)));
  }
  if (elements.size() == 1 && elements[0].empty()) elements.clear();
  return static_cast<int>(elements.size());
}

int JsonScanner::split_top_level(const SharedText& text, JsonPairs& pairs, JsonTexts& elements,
                                 JsonKind& kind) {
  SharedText current = text;
  for (int pass = 1; pass <= 2; ++pass) {
    load_text(current);
    const long b = find('{', 1);
    const long k = find('[', 1);
    if (b == -1 && k == -1) {
      if (pass == 2) break;
      current = SharedText("[" + std::string(current.view()) + "]");
      continue;
    }
    if (b == -1 || (k != -1 && k < b)) {
      kind = JsonKind::Array;
      return split_array(current, false, elements);
    }
    kind = JsonKind::Object;
    return split_object(current, false, pairs);
  }
  kind = JsonKind::Array;
  elements.clear();
  return 0;
}

int JsonScanner::split_path(std::string_view raw) {
  const Text path = replace_all(raw, "''", "\"");
  segments_.clear();
  const long len = static_cast<long>(path.size());
  auto find_byte = [&](char c, long after) -> long {  // 1-based, first position > after
    if (after >= len) return -1;
    const std::size_t at = path.find(c, static_cast<std::size_t>(after < 0 ? 0 : after));
    return at == std::string::npos ? -1 : static_cast<long>(at) + 1;
  };
  long c = 0;
  long search = 0;
  for (;;) {
    long d = find_byte('.', search);
    const bool last = d == -1;
    if (last) d = len + 1;
    int counted = 0;
    const long q1 = find_byte('"', c);
    if (q1 != -1 && q1 < d) {
      ++counted;
      const long q2 = find_byte('"', q1);
      if (q2 != -1 && q2 < d) ++counted;
    }
    if (counted == 1) {
      if (last) break;
      search = d;
      continue;
    }
    segments_.push_back(trim_quotes(std::string_view(path).substr(
        static_cast<std::size_t>(c), static_cast<std::size_t>(d - c - 1))));
    c = d;
    search = d;
    if (last) break;
  }
  return static_cast<int>(segments_.size());
}

}  // namespace quorvel
