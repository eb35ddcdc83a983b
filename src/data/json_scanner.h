// The text side of JsonDocument: loads a JSON text into two buffers of equal
// length (the text itself, and a copy in which string contents are blanked
// so that structural bytes inside strings cannot be seen), splits objects
// and arrays into member texts, and splits dotted paths.
//
// Positions are 1-based byte positions; -1 means not found. Finds search the
// blanked copy; text handed out is cut from the text itself.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/text.h"
#include "base/yield.h"

namespace quorvel {

// A piece of text that shares the buffer it was cut from and keeps it
// alive. A document's members are slices of the text their parent was
// split from, not copies: a nested text costs nothing per level of nesting
// unless splitting it changed it.
class SharedText {
 public:
  SharedText() = default;
  explicit SharedText(std::string text)
      : buffer_(std::make_shared<const std::string>(std::move(text))), view_(*buffer_) {}
  // A piece of `owner`'s buffer; `piece` must lie within it.
  SharedText(const std::shared_ptr<const std::string>& owner, std::string_view piece)
      : buffer_(owner), view_(piece) {}

  [[nodiscard]] std::string_view view() const { return view_; }
  [[nodiscard]] const std::shared_ptr<const std::string>& buffer() const { return buffer_; }
  [[nodiscard]] bool empty() const { return view_.empty(); }
  [[nodiscard]] std::size_t size() const { return view_.size(); }
  [[nodiscard]] char front() const { return view_.front(); }
  // Where the view starts in its buffer.
  [[nodiscard]] std::size_t offset() const {
    return buffer_ ? static_cast<std::size_t>(view_.data() - buffer_->data()) : 0;
  }
  friend bool operator==(const SharedText& a, std::string_view b) { return a.view_ == b; }

 private:
  std::shared_ptr<const std::string> buffer_;
  std::string_view view_;
};

using JsonPairs = std::vector<std::pair<Text, SharedText>>;
using JsonTexts = std::vector<SharedText>;
using PathSegments = std::vector<Text>;

// What a member's text is.
enum class JsonKind { Plain = 0, Object = 1, Array = 2 };

class JsonScanner {
 public:
  // Tests: load pieces of the loaded text the slow way too and count the
  // ones that loading would have changed (there should be none).
  static bool verify_pieces;
  static int piece_checks;
  static int piece_mismatches;

  // Loads a text to split. A piece of the text loaded now (a member's value
  // being split in turn) is not loaded again when loading would not change
  // it: the scanner then works on that piece of its buffers.
  void load_text(const SharedText& text);
  void load_text(std::string_view text) { load_text(SharedText(std::string(text))); }
  // kind receives Object (pairs) or Array (elements).
  int split_top_level(const SharedText& text, JsonPairs& pairs, JsonTexts& elements,
                      JsonKind& kind);
  int split_object(const SharedText& text, bool reload, JsonPairs& pairs);
  int split_array(const SharedText& text, bool reload, JsonTexts& elements);
  int split_object(std::string_view text, bool reload, JsonPairs& pairs) {
    return split_object(SharedText(std::string(text)), reload, pairs);
  }
  [[nodiscard]] static JsonKind value_kind(std::string_view text);

  Text read_key(long at, long& out_pos);
  SharedText read_value(long at, long& out_pos);
  [[nodiscard]] bool is_balanced(long from, long to);
  [[nodiscard]] SharedText source_between(long from, long to) const;

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
  [[nodiscard]] const PathSegments& path_segments() const { return segments_; }

 private:
  [[nodiscard]] long length() const { return static_cast<long>(structure_.size()); }
  // First position at or after `from` of a token byte in the blanked copy.
  [[nodiscard]] long find(char token, long from);

  // The loaded text and its blanked copy: views into buffers shared with
  // the pieces handed out.
  std::shared_ptr<const std::string> source_buffer_;
  std::shared_ptr<const std::string> structure_buffer_;
  std::string_view source_;
  std::string_view structure_;
  // Where the blanked copy starts in the source buffer.
  std::size_t structure_offset_ = 0;
  PathSegments segments_;
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
