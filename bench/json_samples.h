// JSON texts the benchmarks share.
#pragma once

#include <string>

namespace quorvel::bench {

// A list of visitor records, about `bytes` long.
inline std::string document_of_size(std::size_t bytes) {
  std::string s = "{\"list\":[";
  for (int i = 0; s.size() < bytes; ++i) {
    if (i) s += ',';
    s += R"({"id":)" + std::to_string(i) + R"(,"name":"visitor )" + std::to_string(i) +
         R"(","tags":["a","b"],"ok":true})";
  }
  return s + "]}";
}

}  // namespace quorvel::bench
