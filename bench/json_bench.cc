// JSON document speed: a page payload round trip, and parse throughput on
// growing texts side by side with nlohmann::json on the same text.
#include <benchmark/benchmark.h>

#include <nlohmann/json.hpp>
#include <string>

#include "data/json_document.h"
#include "json_samples.h"

namespace {

// The shape of a "newmsg=>" payload: about 600 bytes.
const std::string kPayload =
    R"({"T":"newmsg","D":{"FromId":"visitor_8f3a2c61d9e04b7f","BossId":"10023",)"
    R"("BossName":"U2FsdGVkX1+3vX0aZk8yQm9vdHN0cmFwcGluZ0tleQ==","Fnick":)"
    R"("U2FsdGVkX1/9c2VydmljZWFnZW50bmlja25hbWU=","Content":)"
    R"("U2FsdGVkX1+Zm9yIGEgbG9uZ2VyIG1lc3NhZ2UgdGhhdCBhIHZpc2l0b3IgdHlwZWQgaW50byB0aGUgY2hhdCBib3ggb24gdGhlIHNpdGUgYW5kIHdhaXRzIGZvciBhbiBhbnN3ZXI=",)"
    R"("Time":"2026-12-08 10:21:33","Type":1,"Avatar":"/static/img/visitor.png",)"
    R"("Ip":"203.0.113.7","Area":"Shanghai","Browser":"Chrome","Os":"Windows 10",)"
    R"("Refer":"https://example.test/products/index.html?from=ad","Read":0}})";

void PayloadRoundTrip(benchmark::State& state) {
  quorvel::JsonDocument doc;
  for (auto _ : state) {
    doc.parse(kPayload);
    benchmark::DoNotOptimize(doc.get_text("T"));
    benchmark::DoNotOptimize(doc.get_text("D.FromId"));
    benchmark::DoNotOptimize(doc.get_text("D.BossId"));
    benchmark::DoNotOptimize(doc.get_text("D.BossName"));
    benchmark::DoNotOptimize(doc.get_text("D.Fnick"));
    benchmark::DoNotOptimize(doc.get_text("D.Content"));
  }
}
BENCHMARK(PayloadRoundTrip);

void Parse(benchmark::State& state) {
  const std::string text =
      quorvel::bench::document_of_size(static_cast<std::size_t>(state.range(0)));
  quorvel::JsonDocument doc;
  for (auto _ : state) {
    doc.parse(text);
    benchmark::DoNotOptimize(doc.nodes().node_count());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(Parse)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);

void ParseNlohmann(benchmark::State& state) {
  const std::string text =
      quorvel::bench::document_of_size(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    auto j = nlohmann::json::parse(text);
    benchmark::DoNotOptimize(j.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(ParseNlohmann)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
