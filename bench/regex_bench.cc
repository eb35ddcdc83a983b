// Global searches of a page, by size, through the regular-expression object
// (PCRE2 on both platforms), side by side with std::regex on the same bytes
// (std::wregex was the Windows engine before). A search must grow with the
// page, not with its square.
#include <benchmark/benchmark.h>

#include <regex>
#include <string>

#include "data/regex_object.h"

namespace {

std::string page(std::size_t bytes) {
  std::string text;
  while (text.size() < bytes) text += "\xD6\xD0 line of text\r\n";
  return text + "<meta charset=\"gbk\">";
}

void RegexObjectEveryLine(benchmark::State& state) {
  const std::string subject = page(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    quorvel::RegexObject re;
    benchmark::DoNotOptimize(re.execute("^\\S+", subject));
    benchmark::DoNotOptimize(re.match_count());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(RegexObjectEveryLine)->RangeMultiplier(4)->Range(64 << 10, 1 << 20)
    ->Unit(benchmark::kMillisecond);

void StdRegexEveryLine(benchmark::State& state) {
  const std::string subject = page(static_cast<std::size_t>(state.range(0)));
  const std::regex re("^\\S+", std::regex::ECMAScript | std::regex::icase | std::regex::multiline);
  for (auto _ : state) {
    long count = 0;
    for (auto it = std::sregex_iterator(subject.begin(), subject.end(), re);
         it != std::sregex_iterator(); ++it) {
      ++count;
    }
    benchmark::DoNotOptimize(count);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(StdRegexEveryLine)->RangeMultiplier(4)->Range(64 << 10, 1 << 20)
    ->Unit(benchmark::kMillisecond);

// The charset lookup of a page head, whose one match is at the end.
void RegexObjectCharsetAtTheEnd(benchmark::State& state) {
  const std::string subject = page(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    quorvel::RegexObject re;
    benchmark::DoNotOptimize(re.execute("<meta.+?charset=[^\\w]?([-\\w]+)", subject));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(RegexObjectCharsetAtTheEnd)->RangeMultiplier(4)->Range(64 << 10, 1 << 20)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
