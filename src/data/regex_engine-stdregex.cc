#include <cstddef>
#include <iterator>
#include <regex>
#include <string>

#include "base/text.h"
#include "data/regex_engine.h"

namespace quorvel::regex {
namespace {

// std::regex matches recursively, one frame per character; longer subjects
// are refused rather than risking the stack.
constexpr std::size_t kMaxSubjectUnits = 32 * 1024;

// std::regex backtracks without limit; PCRE2 gives up after about ten
// million steps. The subject is walked through this iterator, which counts
// every step and throws past the same budget, so that a pattern such as
// "(a+)+$" gives up here too instead of running for hours.
constexpr std::size_t kStepBudget = 10'000'000;
struct GaveUp {};

class CountingIterator {
 public:
  using iterator_category = std::bidirectional_iterator_tag;
  using value_type = wchar_t;
  using difference_type = std::ptrdiff_t;
  using pointer = const wchar_t*;
  using reference = const wchar_t&;

  CountingIterator() = default;
  CountingIterator(const wchar_t* at, std::size_t* steps) : at_(at), steps_(steps) {}

  reference operator*() const { return *at_; }
  CountingIterator& operator++() {
    ++at_;
    step();
    return *this;
  }
  CountingIterator operator++(int) {
    CountingIterator before = *this;
    ++*this;
    return before;
  }
  CountingIterator& operator--() {
    --at_;
    step();
    return *this;
  }
  CountingIterator operator--(int) {
    CountingIterator before = *this;
    --*this;
    return before;
  }
  bool operator==(const CountingIterator& other) const { return at_ == other.at_; }
  [[nodiscard]] const wchar_t* base() const { return at_; }

 private:
  void step() {
    if (steps_ != nullptr && ++*steps_ > kStepBudget) throw GaveUp{};
  }
  const wchar_t* at_ = nullptr;
  std::size_t* steps_ = nullptr;
};

// ECMAScript in std::regex rejects a "{" that opens no quantifier, which the
// script dialect reads as a literal brace.
std::wstring escape_literal_braces(const std::u16string& p) {
  std::wstring out;
  for (std::size_t i = 0; i < p.size(); ++i) {
    const wchar_t c = static_cast<wchar_t>(p[i]);
    if (c == L'\\' && i + 1 < p.size()) {
      out += c;
      out += static_cast<wchar_t>(p[++i]);
      continue;
    }
    if (c == L'{' || c == L'}') {
      std::size_t j = i + 1;
      bool quantifier = c == L'{' && i > 0;
      bool digits = false;
      while (quantifier && j < p.size() && p[j] != u'}') {
        if (p[j] >= u'0' && p[j] <= u'9') {
          digits = true;
        } else if (p[j] != u',') {
          quantifier = false;
        }
        ++j;
      }
      if (!(quantifier && digits && j < p.size())) {
        out += L'\\';
        out += c;
        continue;
      }
      out.append(p.begin() + static_cast<std::ptrdiff_t>(i),
                 p.begin() + static_cast<std::ptrdiff_t>(j) + 1);
      i = j;
      continue;
    }
    out += c;
  }
  return out;
}

class StdRegexEngine final : public Engine {
 public:
  StdRegexEngine(std::wregex re, bool global) : re_(std::move(re)), global_(global) {}

  std::vector<Match> find_all(std::string_view subject) const override {
    std::vector<Match> matches;
    const std::u16string u16 = utf8_to_utf16(subject);
    if (u16.size() > kMaxSubjectUnits) return matches;
    const std::wstring w(u16.begin(), u16.end());
    // UTF-8 offset of each UTF-16 index, for the spans handed back.
    std::vector<std::size_t> offset(w.size() + 1, 0);
    for (std::size_t i = 0; i < u16.size(); ++i) {
      const char16_t u = u16[i];
      std::size_t bytes = u < 0x80 ? 1 : u < 0x800 ? 2 : (u >= 0xD800 && u <= 0xDBFF) ? 4 : 3;
      if (u >= 0xDC00 && u <= 0xDFFF) bytes = 0;
      offset[i + 1] = offset[i] + bytes;
    }
    std::size_t start = 0;
    std::size_t steps = 0;
    const wchar_t* const text = w.c_str();
    while (start <= w.size()) {
      std::match_results<CountingIterator> m;
      const auto flags =
          start > 0 ? std::regex_constants::match_prev_avail : std::regex_constants::match_default;
      try {
        if (!std::regex_search(CountingIterator(text + start, &steps),
                               CountingIterator(text + w.size(), &steps), m, re_, flags)) {
          break;
        }
      } catch (const std::regex_error&) {
        break;  // too complex: keep what was found
      } catch (const GaveUp&) {
        break;
      }
      Match out;
      for (std::size_t g = 0; g < m.size(); ++g) {
        if (!m[g].matched) {
          out.groups.push_back({});
          continue;
        }
        const auto b = static_cast<std::size_t>(m[g].first.base() - text);
        const auto e = static_cast<std::size_t>(m[g].second.base() - text);
        out.groups.push_back({offset[b], offset[e], true});
      }
      const auto b = static_cast<std::size_t>(m[0].first.base() - text);
      const auto e = static_cast<std::size_t>(m[0].second.base() - text);
      matches.push_back(std::move(out));
      if (!global_) break;
      start = e > b ? e : e + 1;
    }
    return matches;
  }

 private:
  std::wregex re_;
  bool global_;
};

}  // namespace

std::unique_ptr<Engine> compile(std::string_view pattern, const Options& options) {
  const std::wstring p = escape_literal_braces(utf8_to_utf16(translate_dot(pattern)));
  auto flags = std::regex_constants::ECMAScript;
  if (options.ignore_case) flags |= std::regex_constants::icase;
  if (options.multiline) flags |= std::regex_constants::multiline;
  try {
    return std::make_unique<StdRegexEngine>(std::wregex(p, flags), options.global);
  } catch (const std::regex_error&) {
    return nullptr;
  }
}

}  // namespace quorvel::regex
