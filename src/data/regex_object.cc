#include "data/regex_object.h"

#include <vector>

#include "base/text_ops.h"
#include "data/regex_engine.h"

namespace quorvel {

// Results are immutable once execute() has run, so copies share them.
struct RegexObject::State {
  Text pattern;
  Text subject;
  std::string subject_utf8;
  std::vector<regex::Match> matches;
};

RegexObject::RegexObject() = default;
RegexObject::~RegexObject() = default;
RegexObject::RegexObject(const RegexObject&) = default;
RegexObject& RegexObject::operator=(const RegexObject&) = default;

bool RegexObject::execute(std::string_view pattern, std::string_view subject, bool case_sensitive,
                          bool multiline, bool global, bool quote_token) {
  state_.reset();
  auto state = std::make_shared<State>();
  state->pattern = quote_token ? replace_all(pattern, kQuoteToken, "\"") : Text(pattern);
  const auto engine = regex::compile(to_utf8(state->pattern), {!case_sensitive, multiline, global});
  if (!engine) return false;
  state->subject = Text(subject);
  state->subject_utf8 = to_utf8(subject);
  state->matches = engine->find_all(state->subject_utf8);
  state_ = std::move(state);
  return true;
}

Text RegexObject::pattern() const {
  return state_ ? state_->pattern : Text();
}

int RegexObject::match_count() const {
  return state_ ? static_cast<int>(state_->matches.size()) : 0;
}

int RegexObject::submatch_count() const {
  if (!state_ || state_->matches.empty()) return 0;
  return static_cast<int>(state_->matches[0].groups.size()) - 1;
}

namespace {

// Characters (UTF-16 units, as the script engine counts them) before a byte
// offset of the UTF-8 subject.
int utf16_index(std::string_view utf8, std::size_t offset) {
  int units = 0;
  for (std::size_t i = 0; i < offset && i < utf8.size(); ++i) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if ((b & 0xC0) != 0x80) units += b >= 0xF0 ? 2 : 1;
  }
  return units;
}

// The byte offset of a match is found the way the script-engine version
// found it: search the subject for the match's text from the byte position
// equal to its character index (never past the real place, as a character
// takes at least one byte).
int byte_position(std::string_view subject, const Text& found, int first_index) {
  std::size_t from = 0;
  while (from < static_cast<std::size_t>(first_index) && from < subject.size()) {
    from += char_length_at(subject, from);
  }
  const std::size_t at = find_text(subject, found, from);
  return at == npos ? -1 : static_cast<int>(at);
}

}  // namespace

Text RegexObject::match_text(int match, int* position) const {
  return submatch_text(match, 0, position);
}

Text RegexObject::submatch_text(int match, int group, int* position) const {
  if (!state_ || match < 1 || group < 0 ||
      static_cast<std::size_t>(match) > state_->matches.size()) {
    return {};
  }
  const regex::Match& m = state_->matches[static_cast<std::size_t>(match - 1)];
  if (static_cast<std::size_t>(group) >= m.groups.size() || !m.groups[group].matched) return {};
  const regex::Span& span = m.groups[static_cast<std::size_t>(group)];
  const std::string_view u8 = state_->subject_utf8;
  Text text = from_utf8(u8.substr(span.begin, span.end - span.begin));
  if (position) {
    *position = byte_position(state_->subject, text, utf16_index(u8, m.groups[0].begin));
  }
  return text;
}

Text RegexObject::replace(std::string_view replacement) const {
  if (!state_) return {};
  const std::string_view s = state_->subject_utf8;
  const std::string r = to_utf8(replacement);
  std::string out;
  std::size_t done = 0;
  for (const regex::Match& m : state_->matches) {
    const regex::Span& whole = m.groups[0];
    out.append(s.substr(done, whole.begin - done));
    for (std::size_t i = 0; i < r.size(); ++i) {
      if (r[i] != '$' || i + 1 >= r.size()) {
        out += r[i];
        continue;
      }
      const char c = r[i + 1];
      if (c == '$') {
        out += '$';
        ++i;
      } else if (c == '&') {
        out.append(s.substr(whole.begin, whole.end - whole.begin));
        ++i;
      } else if (c == '`') {
        out.append(s.substr(0, whole.begin));
        ++i;
      } else if (c == '\'') {
        out.append(s.substr(whole.end));
        ++i;
      } else if (c >= '0' && c <= '9') {
        // Two digits when that names a group, else one; "$0" is literal.
        std::size_t n = static_cast<std::size_t>(c - '0');
        std::size_t used = 1;
        if (i + 2 < r.size() && r[i + 2] >= '0' && r[i + 2] <= '9') {
          const std::size_t two = n * 10 + static_cast<std::size_t>(r[i + 2] - '0');
          if (two >= 1 && two < m.groups.size()) n = two, used = 2;
        }
        if (n >= 1 && n < m.groups.size()) {
          const regex::Span& g = m.groups[n];
          if (g.matched) out.append(s.substr(g.begin, g.end - g.begin));
          i += used;
        } else {
          out += '$';
        }
      } else {
        out += '$';
      }
    }
    done = whole.end;
  }
  out.append(s.substr(done));
  return from_utf8(out);
}

}  // namespace quorvel
