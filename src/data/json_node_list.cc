#include "data/json_node_list.h"

#include "base/yield.h"

namespace quorvel {

int JsonNodeList::add_node(int parent, Text name, JsonKind kind, SharedText value) {
  if (!valid(parent)) {
    nodes_.push_back({std::move(name), kind, std::move(value), 1, 0, ++top_count_});
    return node_count();
  }
  const int end = subtree_end(parent);
  const int at = end == -1 ? node_count() + 1 : end;
  JsonNode& p = ref(parent);
  JsonNode node{std::move(name), kind, std::move(value), p.level + 1, 0, ++p.child_count};
  nodes_.insert(nodes_.begin() + (at - 1), std::move(node));
  return at;
}

int JsonNodeList::append_child(int parent, Text name, JsonKind kind, SharedText value) {
  if (!valid(parent)) return add_node(parent, std::move(name), kind, std::move(value));
  JsonNode& p = ref(parent);
  JsonNode node{std::move(name), kind, std::move(value), p.level + 1, 0, ++p.child_count};
  nodes_.push_back(std::move(node));
  return node_count();
}

int JsonNodeList::subtree_end(int node) const {
  if (!valid(node)) return -1;
  const int level = ref(node).level;
  YieldPacer pacer;
  for (int j = node + 1; j <= node_count();) {
    pacer.step();
    if (ref(j).level <= level) return j;
    j += ref(j).child_count + 1;
  }
  return -1;
}

int JsonNodeList::find_child(int level, std::string_view name, int start) const {
  YieldPacer pacer;
  for (int j = (start < 0 ? 0 : start) + 1; j <= node_count();) {
    pacer.step();
    const JsonNode& n = ref(j);
    if (n.level == level) {
      if (n.name == name) return j;
      ++j;
    } else if (n.level < level) {
      return -1;
    } else {
      j += n.child_count + 1;
    }
  }
  return -1;
}

int JsonNodeList::parent_of(int node) const {
  if (!valid(node)) return -1;
  const int level = ref(node).level;
  if (level == 1) return 0;
  int j = node;
  for (;;) {
    j -= ref(j).ordinal;
    if (j == 0) return 0;
    if (j < 0) return -1;
    const int l = ref(j).level;
    if (l + 1 == level) return j;
    if (l + 1 < level) return -1;
  }
}

const JsonNode* JsonNodeList::at(int node) const {
  return valid(node) ? &ref(node) : nullptr;
}
int JsonNodeList::level_of(int node) const {
  return valid(node) ? ref(node).level : -1;
}
int JsonNodeList::child_count_of(int node) const {
  return valid(node) ? ref(node).child_count : -1;
}
Text JsonNodeList::name_of(int node) const {
  return valid(node) ? ref(node).name : Text();
}
JsonKind JsonNodeList::kind_of(int node) const {
  return valid(node) ? ref(node).kind : JsonKind::Plain;
}
Text JsonNodeList::value_of(int node) const {
  return valid(node) ? Text(ref(node).value.view()) : Text();
}

bool JsonNodeList::set_kind(int node, JsonKind kind) {
  if (!valid(node)) return false;
  ref(node).kind = kind;
  return true;
}

bool JsonNodeList::set_value(int node, Text value) {
  if (!valid(node)) return false;
  ref(node).value = SharedText(std::move(value));
  return true;
}

void JsonNodeList::clear() {
  nodes_.clear();
  top_count_ = 0;
}

}  // namespace quorvel
