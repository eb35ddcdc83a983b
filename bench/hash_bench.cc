// Hash table throughput: one million text keys put, then got, side by side
// with std::unordered_map<std::string, int>.
#include <benchmark/benchmark.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "data/hash_table.h"

namespace {

constexpr int kKeys = 1'000'000;

const std::vector<std::string>& keys() {
  static const std::vector<std::string> k = [] {
    std::vector<std::string> v;
    v.reserve(kKeys);
    for (int i = 0; i < kKeys; ++i) v.push_back("visitor-" + std::to_string(i * 7919LL));
    return v;
  }();
  return k;
}

void HashTablePutGet(benchmark::State& state) {
  const auto& k = keys();
  for (auto _ : state) {
    quorvel::HashTable t;
    t.create_text_int();
    for (int i = 0; i < kKeys; ++i) t.put(k[static_cast<std::size_t>(i)], i);
    long sum = 0;
    for (int i = 0; i < kKeys; ++i) sum += t.get_number(k[static_cast<std::size_t>(i)]);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kKeys * 2);
}
BENCHMARK(HashTablePutGet)->Unit(benchmark::kMillisecond);

void UnorderedMapPutGet(benchmark::State& state) {
  const auto& k = keys();
  for (auto _ : state) {
    std::unordered_map<std::string, int> m;
    for (int i = 0; i < kKeys; ++i) m[k[static_cast<std::size_t>(i)]] = i;
    long sum = 0;
    for (int i = 0; i < kKeys; ++i) sum += m.find(k[static_cast<std::size_t>(i)])->second;
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kKeys * 2);
}
BENCHMARK(UnorderedMapPutGet)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
