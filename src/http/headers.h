// Text functions for HTTP header blocks (lines joined by CR LF) and cookie
// lists (items "name=value" joined by "; "). Positions count bytes from 1.
#pragma once

#include <string_view>
#include <vector>

#include "base/text.h"
#include "base/text_ops.h"

namespace quorvel::http {

using quorvel::split_text;
using quorvel::TextList;

// Removes ASCII spaces and full-width spaces (A1 A1) at both ends.
[[nodiscard]] Text trim_spaces(std::string_view text);

[[nodiscard]] Text normalize_header_block(std::string_view block);
[[nodiscard]] Text capitalize_first(std::string_view word);
[[nodiscard]] Text header_value(std::string_view block, std::string_view name);
// start is 1-based; below 1 means from the beginning.
[[nodiscard]] Text text_between(std::string_view text, std::string_view left,
                                std::string_view right, int start = 0, bool ignore_case = false);
// Merges new cookies over old ones; the result is also stored in old_list,
// and new_list keeps its trimmed form.
Text merge_cookie_text(Text& old_list, Text& new_list);
[[nodiscard]] Text cookie_name(std::string_view item);
[[nodiscard]] bool has_cookie_named(const TextList& items, std::string_view name);
[[nodiscard]] Text remove_duplicate_items(std::string_view text, std::string_view separator,
                                          bool split_at_separator);
[[nodiscard]] TextList split_characters(std::string_view text);
// 1-based index of the first equal item, or -1.
[[nodiscard]] int find_item(const TextList& items, std::string_view text);

}  // namespace quorvel::http
