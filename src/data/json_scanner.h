// The text side of JsonDocument: loads a JSON text into two buffers of equal
// length (the text itself, and a copy in which string contents are blanked
// so that structural bytes inside strings cannot be seen), splits objects
// and arrays into member texts, and splits dotted paths.
//
// Positions are 1-based byte positions; -1 means not found. Finds search the
// blanked copy; text handed out is cut from the text itself.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/text.h"
#include "base/yield.h"

namespace quorvel {

using JsonPairs = std::vector<std::pair<Text, Text>>;
using JsonTexts = std::vector<Text>;

class JsonScanner {
 public:
  void load_text(std::string_view text);
  // kind receives 1 (object: pairs) or 2 (array: elements).
  int split_top_level(std::string_view text, JsonPairs& pairs, JsonTexts& elements, int& kind);
  int split_object(std::string_view text, bool reload, JsonPairs& pairs);
  int split_array(std::string_view text, bool reload, JsonTexts& elements);
  [[nodiscard]] static int value_kind(std::string_view text);

  Text read_key(long at, long& out_pos);
  Text read_value(long at, long& out_pos);
  [[nodiscard]] bool is_balanced(long from, long to);
  [[nodiscard]] Text source_between(long from, long to) const;

  // The four text rewrites. Each works on whole characters and follows the
  // script engine's regular-expression semantics it was first written with:
  // "\s" is ASCII white space, the ideographic space A1 A1 counts where
  // named, and "^"/"$" match at every line boundary (LF, CR, CR LF).
  // compact: white space before "[", "{", '"' goes, then white space after
  // "]", "}", '"'.
  [[nodiscard]] static Text compact(std::string_view text);
  // White space next to a double quote goes; spaces, ideographic spaces,
  // tabs and double quotes go at the start and end of every line.
  [[nodiscard]] static Text trim_quotes(std::string_view text);
  // Spaces, ideographic spaces and tabs go at the start and end of every line.
  [[nodiscard]] static Text trim_spaces(std::string_view text);
  [[nodiscard]] static Text restore_escaped_quotes(std::string_view text);
  // "list[0].id" becomes "list.[0].id": a dot goes before an index that
  // follows a name (matches do not overlap, so "a[0][1]" gives "a.[0][1]").
  [[nodiscard]] static Text normalise_path(std::string_view path);

  int split_path(std::string_view path);
  [[nodiscard]] const JsonTexts& path_segments() const { return segments_; }

 private:
  [[nodiscard]] long length() const { return static_cast<long>(structure_.size()); }
  // First position at or after `from` of a token byte in the blanked copy.
  [[nodiscard]] long find(char token, long from);

  std::string structure_;
  std::string source_;
  JsonTexts segments_;
  YieldPacer pacer_;

  // Object and array splitting searches forward again and again for the
  // same tokens; the last answer per token is remembered, which keeps one
  // split linear in the text's length.
  struct FindCache {
    long from = -1;
    long result = -1;
  };
  std::array<FindCache, 7> find_cache_{};
  // Balance counts between balance_from_ and balance_to_ (exclusive), grown
  // as the end moves forward.
  long balance_from_ = -1;
  long balance_to_ = -1;
  std::array<long, 5> balance_counts_{};
};

}  // namespace quorvel
