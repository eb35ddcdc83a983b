// A tolerant, text-preserving JSON reader with dotted-path access: "code",
// "D.BossName", "data.list.[1].id". Values come back as they stood in the
// text (strings without their quotes, escapes undecoded, numbers as
// written); a missing path gives "". Malformed text is skipped, never
// rejected.
//
// Long loops call yield_to_ui now and then, so a handler may run in the
// middle of parse or get_text: such a handler must not use the same document.
#pragma once

#include <string_view>

#include "base/text.h"
#include "data/json_node_list.h"
#include "data/json_scanner.h"

namespace quorvel {

class JsonDocument {
 public:
  // Deeper members are kept as one plain value holding their text, so that
  // hostile nesting can neither exhaust the stack nor multiply the work.
  static constexpr int kMaxLevel = 64;

  void parse(std::string_view text, bool zero_based = false);
  [[nodiscard]] Text get_text(std::string_view path, int start_node = 0);
  // Whether the path names a member (its value may be empty).
  [[nodiscard]] bool contains(std::string_view path);
  void set_value(std::string_view path, std::string_view value, JsonKind kind);
  int member_count(std::string_view path, int& node_index);
  [[nodiscard]] Text node_path(int node) const;
  [[nodiscard]] JsonNodeList copy_nodes() const { return nodes_; }
  [[nodiscard]] static Text capitalise(std::string_view text);

  [[nodiscard]] const JsonNodeList& nodes() const { return nodes_; }
  [[nodiscard]] bool zero_based() const { return zero_based_ != 0; }

 private:
  void add_object_members(const JsonPairs& pairs, int parent);
  void add_array_elements(const JsonTexts& elements, int parent);
  void add_member(Text name, SharedText value, int parent);
  [[nodiscard]] static Text clean_value(std::string_view text);
  // Splits the (normalised) path; 0 segments for an empty path.
  int split(std::string_view path);
  // The node the path names, walking from the root; -1 when missing.
  int walk(int segment_count);

  int zero_based_ = 0;
  JsonNodeList nodes_;
  JsonScanner scanner_;
};

}  // namespace quorvel
