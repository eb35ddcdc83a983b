// One regular expression run over one subject, then questioned about its
// matches. Texts are internal text; matching runs on the characters, so a
// double-byte character is never matched half.
#pragma once

#include <memory>
#include <string_view>

#include "base/text.h"

namespace quorvel {

class RegexObject {
 public:
  RegexObject();
  ~RegexObject();
  RegexObject(const RegexObject&);
  RegexObject& operator=(const RegexObject&);

  // True when the pattern compiled and the search ran, even with no match;
  // false when the pattern is rejected. With quote_token, every "#引号" in
  // the pattern stands for a double quote.
  bool execute(std::string_view pattern, std::string_view subject, bool case_sensitive = false,
               bool multiline = true, bool global = true, bool quote_token = false);
  [[nodiscard]] Text pattern() const;
  // The subject with the matches replaced; "$1".."$99", "$&", "$`", "$'" and
  // "$$" have their script-engine meaning.
  [[nodiscard]] Text replace(std::string_view replacement) const;
  [[nodiscard]] int match_count() const;
  // Indexes count from 1; out of range gives "". The position, when asked,
  // is the 0-based byte offset of the text in the subject.
  [[nodiscard]] Text match_text(int match, int* position = nullptr) const;
  [[nodiscard]] Text submatch_text(int match, int group, int* position = nullptr) const;
  // Groups of the first match, whatever match is of interest.
  [[nodiscard]] int submatch_count() const;

 private:
  struct State;
  std::shared_ptr<const State> state_;
};

}  // namespace quorvel
