#include <string>

#include "data/regex_engine.h"

namespace quorvel::regex {

std::string translate_dot(std::string_view pattern) {
  std::string out;
  out.reserve(pattern.size() + 8);
  bool in_class = false;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '\\' && i + 1 < pattern.size()) {
      out += c;
      out += pattern[++i];
      continue;
    }
    if (in_class) {
      if (c == ']') in_class = false;
    } else if (c == '[') {
      out += c;
      in_class = true;
      // "[]" and "[^]" are complete classes here; their "]" closes them.
      if (i + 1 < pattern.size() && pattern[i + 1] == '^') out += pattern[++i];
      if (i + 1 < pattern.size() && pattern[i + 1] == ']') {
        out += pattern[++i];
        in_class = false;
      }
      continue;
    } else if (c == '.') {
      out += "[^\\n]";
      continue;
    }
    out += c;
  }
  return out;
}

}  // namespace quorvel::regex
