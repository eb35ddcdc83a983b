#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <string>

#include "base/unique_handle.h"
#include "data/regex_engine.h"

namespace quorvel::regex {
namespace {

using Code = UniquePointer<pcre2_code, pcre2_code_free>;
using MatchData = UniquePointer<pcre2_match_data, pcre2_match_data_free>;
using CompileContext = UniquePointer<pcre2_compile_context, pcre2_compile_context_free>;
using MatchContext = UniquePointer<pcre2_match_context, pcre2_match_context_free>;

// Bounds the work of one search, so that a pattern with catastrophic
// backtracking gives up instead of freezing the window.
constexpr std::uint32_t kMatchLimit = 5'000'000;
constexpr std::uint32_t kDepthLimit = 1'000'000;

std::size_t next_char(std::string_view s, std::size_t i) {
  ++i;
  while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
  return i;
}

class Pcre2Engine final : public Engine {
 public:
  Pcre2Engine(pcre2_code* code, bool global) : code_(code), global_(global) {
    match_context_.reset(pcre2_match_context_create(nullptr));
    if (match_context_) {
      pcre2_set_match_limit(match_context_.get(), kMatchLimit);
      pcre2_set_depth_limit(match_context_.get(), kDepthLimit);
    }
  }

  std::vector<Match> find_all(std::string_view subject) const override {
    std::vector<Match> matches;
    MatchData data(pcre2_match_data_create_from_pattern(code_.get(), nullptr));
    if (!data) return matches;
    const auto* s = reinterpret_cast<PCRE2_SPTR>(subject.data());
    std::size_t start = 0;
    // The first call checks the subject's UTF-8 once; the later ones would
    // check it all again.
    std::uint32_t check = 0;
    while (start <= subject.size()) {
      const int rc = pcre2_match(code_.get(), s, subject.size(), start, check, data.get(),
                                 match_context_.get());
      check = PCRE2_NO_UTF_CHECK;
      if (rc <= 0) break;
      const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data.get());
      std::uint32_t groups = 0;
      pcre2_pattern_info(code_.get(), PCRE2_INFO_CAPTURECOUNT, &groups);
      Match m;
      m.groups.resize(groups + 1);
      for (std::uint32_t g = 0; g <= groups; ++g) {
        if (static_cast<int>(g) < rc && ov[2 * g] != PCRE2_UNSET) {
          m.groups[g] = {ov[2 * g], ov[2 * g + 1], true};
        }
      }
      const std::size_t begin = ov[0];
      const std::size_t end = ov[1];
      matches.push_back(std::move(m));
      if (!global_) break;
      start = end > begin ? end : next_char(subject, end);
    }
    return matches;
  }

 private:
  Code code_;
  MatchContext match_context_;
  bool global_;
};

}  // namespace

std::unique_ptr<Engine> compile(std::string_view pattern, const Options& options) {
  const std::string translated = translate_dot(pattern);
  CompileContext context(pcre2_compile_context_create(nullptr));
  if (!context) return nullptr;
  pcre2_set_newline(context.get(), PCRE2_NEWLINE_ANYCRLF);
  // No PCRE2_MATCH_INVALID_UTF: the subject is UTF-8 the core converted
  // itself, and that option rescans the rest of the subject on every call,
  // which makes a global search of a large page quadratic. A subject that
  // is not UTF-8 fails the check of the first call and matches nothing.
  std::uint32_t flags =
      PCRE2_UTF | PCRE2_DOLLAR_ENDONLY | PCRE2_ALLOW_EMPTY_CLASS | PCRE2_ALT_BSUX;
  if (options.ignore_case) flags |= PCRE2_CASELESS;
  if (options.multiline) flags |= PCRE2_MULTILINE;
  int error = 0;
  PCRE2_SIZE offset = 0;
  pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(translated.data()),
                                   translated.size(), flags, &error, &offset, context.get());
  if (!code) return nullptr;
  return std::make_unique<Pcre2Engine>(code, options.global);
}

}  // namespace quorvel::regex
