// The request engine against bare libcurl easy calls (one handle per
// request, as the engine makes), both fetching a 10 KB body from a local
// server; and the engine's memory over 10,000 requests.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <httplib.h>

#include <fstream>
#include <string>
#include <thread>

#include "http/headers.h"
#include "http/http_request.h"

namespace {

class LocalServer {
 public:
  LocalServer() {
    server_.Get("/page", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(std::string(10 * 1024, 'q'), "text/html");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::yield();
  }
  ~LocalServer() {
    server_.stop();
    thread_.join();
  }
  [[nodiscard]] std::string url() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/page";
  }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
};

LocalServer& server() {
  static LocalServer instance;
  return instance;
}

size_t keep(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

void BM_EngineGet(benchmark::State& state) {
  const std::string url = server().url();
  for (auto _ : state) {
    const quorvel::Text body = quorvel::http::http_request(url);
    if (body.size() != 10 * 1024) state.SkipWithError("short body");
  }
}
BENCHMARK(BM_EngineGet)->Iterations(200)->Unit(benchmark::kMicrosecond);

// The same request as the engine's: the same header lines go out.
void BM_BareCurlGet(benchmark::State& state) {
  const std::string url = server().url();
  curl_slist* headers = nullptr;
  for (const quorvel::Text& line : quorvel::http::split_text(
           quorvel::http::build_header_block({}, 0, true, true, {}), "\r\n")) {
    headers = curl_slist_append(headers, line.c_str());
  }
  headers = curl_slist_append(headers, "Accept:");
  for (auto _ : state) {
    std::string body;
    CURL* easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, keep);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_perform(easy);
    curl_easy_cleanup(easy);
    if (body.size() != 10 * 1024) state.SkipWithError("short body");
  }
  curl_slist_free_all(headers);
}
BENCHMARK(BM_BareCurlGet)->Iterations(200)->Unit(benchmark::kMicrosecond);

// The engine's own work on a received page, without the network.
void BM_BodyText(benchmark::State& state) {
  const quorvel::Bytes page(10 * 1024, 'q');
  for (auto _ : state) benchmark::DoNotOptimize(quorvel::http::body_text(page));
}
BENCHMARK(BM_BodyText)->Unit(benchmark::kMicrosecond);

long resident_kb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long value = 0;
  while (status >> key) {
    if (key == "VmRSS:") {
      status >> value;
      return value;
    }
  }
  return 0;
}

// Growth of the resident set from request 1,000 to request 11,000.
void BM_EngineMemory(benchmark::State& state) {
  const std::string url = server().url();
  for (auto _ : state) {
    for (int i = 0; i < 1000; ++i) benchmark::DoNotOptimize(quorvel::http::http_request(url));
    const long before = resident_kb();
    for (int i = 0; i < 10000; ++i) benchmark::DoNotOptimize(quorvel::http::http_request(url));
    state.counters["rss_growth_kb"] = static_cast<double>(resident_kb() - before);
    state.counters["rss_kb"] = static_cast<double>(resident_kb());
  }
}
BENCHMARK(BM_EngineMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
