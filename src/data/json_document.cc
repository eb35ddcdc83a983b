#include "data/json_document.h"

#include <string>

#include "base/yield.h"

namespace quorvel {

void JsonDocument::parse(std::string_view text, bool zero_based) {
  zero_based_ = zero_based ? 1 : 0;
  nodes_.clear();
  JsonPairs pairs;
  JsonTexts elements;
  JsonKind kind = JsonKind::Array;
  // The one copy of the text: every member is a piece of it, or of what
  // splitting made of it.
  const SharedText whole{std::string(text)};
  scanner_.split_top_level(whole, pairs, elements, kind);
  const int root = nodes_.add_node(0, "JSON", kind, whole);
  if (kind == JsonKind::Array) {
    add_array_elements(elements, root);
  } else {
    add_object_members(pairs, root);
  }
}

void JsonDocument::add_member(Text name, SharedText value, int parent) {
  JsonKind kind = JsonScanner::value_kind(value.view());
  if (kind != JsonKind::Plain && nodes_.level_of(parent) + 1 >= kMaxLevel) kind = JsonKind::Plain;
  // Members are added in document order, so each new node belongs at the
  // end of the list: no search for the end of the parent's subtree.
  if (kind == JsonKind::Object) {
    JsonPairs sub;
    scanner_.split_object(value, true, sub);
    const int node =
        nodes_.append_child(parent, std::move(name), JsonKind::Object, std::move(value));
    add_object_members(sub, node);
  } else if (kind == JsonKind::Array) {
    JsonTexts sub;
    scanner_.split_array(value, true, sub);
    const int node =
        nodes_.append_child(parent, std::move(name), JsonKind::Array, std::move(value));
    add_array_elements(sub, node);
  } else {
    nodes_.append_child(parent, std::move(name), JsonKind::Plain, std::move(value));
  }
}

void JsonDocument::add_object_members(const JsonPairs& pairs, int parent) {
  YieldPacer pacer;
  for (const auto& [key, value] : pairs) {
    pacer.step();
    add_member(key, value, parent);
  }
}

void JsonDocument::add_array_elements(const JsonTexts& elements, int parent) {
  YieldPacer pacer;
  for (std::size_t n = 1; n <= elements.size(); ++n) {
    pacer.step();
    Text name = "[";
    name.append(std::to_string(static_cast<long>(n) - zero_based_)).push_back(']');
    add_member(std::move(name), elements[n - 1], parent);
  }
}

Text JsonDocument::clean_value(std::string_view text) {
  return JsonScanner::restore_escaped_quotes(JsonScanner::trim_quotes(text));
}

int JsonDocument::split(std::string_view path) {
  if (path.empty()) return 0;
  if (zero_based_) return scanner_.split_path(JsonScanner::normalise_path(path));
  return scanner_.split_path(path);
}

int JsonDocument::walk(int segment_count) {
  const PathSegments& segments = scanner_.path_segments();
  int cur = 1;
  for (int i = 1; i <= segment_count && cur != -1; ++i) {
    cur = nodes_.find_child(i + 1, segments[static_cast<std::size_t>(i - 1)], cur);
  }
  return cur;
}

Text JsonDocument::get_text(std::string_view path, int start_node) {
  const int n = split(path);
  if (n == 0) {
    const JsonNode* root = nodes_.at(1);
    return root ? JsonScanner::compact(root->value.view()) : Text();
  }
  int cur = 1;
  int skip = 0;
  if (start_node > 0) {
    cur = start_node;
    skip = nodes_.level_of(start_node);
  }
  const PathSegments& segments = scanner_.path_segments();
  for (int i = 1; i <= n; ++i) {
    // With a start node at level L, the first L - 1 segments lead to it.
    if (skip != 0 && i < skip) continue;
    cur = nodes_.find_child(i + 1, segments[static_cast<std::size_t>(i - 1)], cur);
    if (cur == -1) return {};
  }
  if (start_node > 0 && cur == start_node) return {};
  const JsonNode* node = nodes_.at(cur);
  return node ? clean_value(node->value.view()) : Text();
}

bool JsonDocument::contains(std::string_view path) {
  const int n = split(path);
  return n == 0 ? nodes_.node_count() > 0 : walk(n) != -1;
}

void JsonDocument::set_value(std::string_view path, std::string_view value, JsonKind kind) {
  if (nodes_.node_count() == 0) nodes_.add_node(0, "JSON", JsonKind::Object, SharedText());
  const int n = split(path);
  int cur = 1;
  const PathSegments segments = scanner_.path_segments();
  for (int i = 1; i <= n; ++i) {
    const Text& segment = segments[static_cast<std::size_t>(i - 1)];
    const int next = nodes_.find_child(i + 1, segment, cur);
    if (next != -1) {
      cur = next;
      continue;
    }
    for (int k = i; k <= n; ++k) {
      cur = nodes_.add_node(cur, segments[static_cast<std::size_t>(k - 1)], JsonKind::Plain,
                            SharedText());
    }
    break;
  }
  nodes_.set_kind(cur, kind);
  nodes_.set_value(cur, Text(value));
}

int JsonDocument::member_count(std::string_view path, int& node_index) {
  const int n = split(path);
  if (n == 0) return nodes_.child_count_of(1) < 0 ? 0 : nodes_.child_count_of(1);
  const int found = walk(n);
  if (found == -1) return 0;
  node_index = found;
  return nodes_.child_count_of(found);
}

Text JsonDocument::node_path(int node) const {
  Text path;
  for (int parent = nodes_.parent_of(node); parent >= 1; parent = nodes_.parent_of(node)) {
    Text name = nodes_.name_of(node);
    if (name.find('.') != Text::npos) {
      name.insert(name.begin(), '"');
      name.push_back('"');
    }
    if (!path.empty()) name.append(".").append(path);
    path = std::move(name);
    node = parent;
  }
  return path;
}

Text JsonDocument::capitalise(std::string_view text) {
  Text out(text);
  for (std::size_t i = 0; i < out.size();) {
    const std::size_t len = char_length_at(out, i);
    char& c = out[i];
    if (len == 1) {
      if (i == 0 && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      if (i > 0 && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    i += len;
  }
  return out;
}

}  // namespace quorvel
