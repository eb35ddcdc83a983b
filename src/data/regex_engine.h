// The matcher behind RegexObject. The core translates the pattern into the
// common dialect below and hands the engine UTF-8, so that a double-byte
// character is never matched half; the engine returns byte spans in that
// UTF-8 text. Both platforms use PCRE2 (Windows builds carry their own).
//
// Dialect the engine must follow (that of the script engine's RegExp):
// "." never appears (the core rewrites it as "[^\n]", so it matches all but
// a line feed); "^" and "$" match at LF, CR and CR LF in multi-line mode and
// only at the ends of the subject otherwise; "\s", "\w", "\d" are ASCII;
// "[]" is an empty class; "\uHHHH" and "\xHH" are code points; after an
// empty match the next search starts one character later.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace quorvel::regex {

struct Span {
  std::size_t begin = 0;
  std::size_t end = 0;
  bool matched = false;  // false for a group that took part in no match
};

struct Match {
  std::vector<Span> groups;  // groups[0] is the whole match
};

struct Options {
  bool ignore_case = true;
  bool multiline = true;
  bool global = true;
};

class Engine {
 public:
  virtual ~Engine() = default;
  // Every match (at most one unless global), in order. An engine that gives
  // up on a pathological pattern returns the matches found so far.
  [[nodiscard]] virtual std::vector<Match> find_all(std::string_view subject) const = 0;
};

// Null when the pattern is rejected.
[[nodiscard]] std::unique_ptr<Engine> compile(std::string_view pattern, const Options& options);

// Rewrites every "." outside a character class and not escaped as "[^\n]".
[[nodiscard]] std::string translate_dot(std::string_view pattern);

}  // namespace quorvel::regex
