// Memory and time of the JSON document on hostile texts: deep nesting
// around a large text, long chains of small objects, and an ordinary large
// document for comparison. Each case runs in a process of its own, so the
// peak resident size is the case's alone.
//   json_bounds            runs every case, one child process each
//   json_bounds CASE       runs one case and prints its line
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "data/json_document.h"
#include "json_samples.h"

namespace {

// Peak resident size of this process so far, in bytes.
long peak_bytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss * 1024L;
}

std::string nested_around(int levels, std::size_t text_bytes) {
  std::string s;
  for (int i = 0; i < levels; ++i) s += "{\"a\":";
  s += "\"" + std::string(text_bytes, 'x') + "\"";
  s += std::string(static_cast<std::size_t>(levels), '}');
  return s;
}

std::string chain(int levels) {
  std::string s;
  for (int i = 0; i < levels; ++i) s += "{\"a\":";
  s += "1";
  s += std::string(static_cast<std::size_t>(levels), '}');
  return s;
}

std::string input_for(const std::string& name) {
  if (name == "nested-600-around-2MB") return nested_around(600, 2u << 20);
  if (name == "nested-64-around-2MB") return nested_around(64, 2u << 20);
  if (name == "nested-64-around-8MB") return nested_around(64, 8u << 20);
  if (name == "chain-400000") return chain(400000);
  if (name == "chain-100000") return chain(100000);
  if (name == "ordinary-2MB") return quorvel::bench::document_of_size(2u << 20);
  if (name == "ordinary-8MB") return quorvel::bench::document_of_size(8u << 20);
  return {};
}

int run_case(const std::string& name) {
  const std::string text = input_for(name);
  if (text.empty()) return 2;
  const long before = peak_bytes();
  const auto start = std::chrono::steady_clock::now();
  quorvel::JsonDocument doc;
  doc.parse(text);
  const std::string probe = doc.get_text("a");
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const long grown = peak_bytes() - before;
  std::printf(
      "%-24s input %6.2f MB  time %7.3f s  %7.1f ns/byte  peak growth %8.1f MB  %6.1f x input  "
      "nodes %d\n",
      name.c_str(), static_cast<double>(text.size()) / 1e6, seconds,
      seconds * 1e9 / static_cast<double>(text.size()), static_cast<double>(grown) / 1e6,
      static_cast<double>(grown) / static_cast<double>(text.size()), doc.nodes().node_count());
  return probe.size() > text.size() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) return run_case(argv[1]);
  for (const char* name :
       {"ordinary-2MB", "ordinary-8MB", "nested-64-around-2MB", "nested-64-around-8MB",
        "nested-600-around-2MB", "chain-100000", "chain-400000"}) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
      execl(argv[0], argv[0], name, static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
  }
  return 0;
}
