// The cost of one settings key write, as a window drag makes them: the file
// is read, the key rewritten and the file replaced atomically.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "app/profile.h"

namespace {

void BM_KeyWrite(benchmark::State& state) {
  const auto path = std::filesystem::temp_directory_path() / "quorvel_bench_config.ini";
  const quorvel::Text file = path.string();
  // A realistic file: a stored answer and the geometry keys.
  static_cast<void>(
      quorvel::profile::write_string(file, "main", "hostdata", std::string(120, 'A')));
  for (const char* key : {"hostdataid", "loginurl", "wide", "higth", "wz", "top"}) {
    static_cast<void>(quorvel::profile::write_string(file, "main", key, "1"));
  }
  int value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        quorvel::profile::write_string(file, "main", "lift", std::to_string(++value % 1000)));
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_KeyWrite)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
