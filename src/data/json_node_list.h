// The parsed tree as a flat list in document order (a node, then all of its
// descendants, then its next sibling). Nodes are addressed by 1-based index;
// every accessor answers its fallback for an index out of range.
#pragma once

#include <string_view>
#include <vector>

#include "base/text.h"
#include "data/json_scanner.h"

namespace quorvel {

struct JsonNode {
  Text name;
  JsonKind kind = JsonKind::Plain;
  SharedText value;  // a piece of the parsed text, shared with its parent's
  int level = 0;
  int child_count = 0;
  int ordinal = 0;
};

class JsonNodeList {
 public:
  // A parent index out of range makes a top-level node at the end; with a
  // parent the node goes to the end of the parent's subtree.
  int add_node(int parent, Text name, JsonKind kind, SharedText value);
  // add_node for a parent whose subtree is known to run to the end of the
  // list, as while a document is built in order: no subtree walk.
  int append_child(int parent, Text name, JsonKind kind, SharedText value);

  [[nodiscard]] int subtree_end(int node) const;
  [[nodiscard]] int find_child(int level, std::string_view name, int start) const;
  [[nodiscard]] int parent_of(int node) const;

  [[nodiscard]] int level_of(int node) const;
  [[nodiscard]] int child_count_of(int node) const;
  [[nodiscard]] Text name_of(int node) const;
  // Plain for a node out of range.
  [[nodiscard]] JsonKind kind_of(int node) const;
  [[nodiscard]] Text value_of(int node) const;
  // Read access without a copy; null out of range.
  [[nodiscard]] const JsonNode* at(int node) const;
  bool set_kind(int node, JsonKind kind);
  bool set_value(int node, Text value);

  [[nodiscard]] int node_count() const { return static_cast<int>(nodes_.size()); }
  [[nodiscard]] int top_count() const { return top_count_; }
  void clear();

 private:
  [[nodiscard]] bool valid(int node) const { return node >= 1 && node <= node_count(); }
  JsonNode& ref(int node) { return nodes_[static_cast<std::size_t>(node - 1)]; }
  [[nodiscard]] const JsonNode& ref(int node) const {
    return nodes_[static_cast<std::size_t>(node - 1)];
  }

  std::vector<JsonNode> nodes_;
  int top_count_ = 0;
};

}  // namespace quorvel
