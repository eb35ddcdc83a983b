// The demo stand-in for the vendor's directory service: it resolves a
// server number sent as "/api/domaincheckid?data=K:@|C" (C the payload
// {"domainid":"N"} enciphered with the key text K, not URL-encoded) and
// answers in the enciphered form "K2:@|C2", sometimes in double quotes.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

namespace quorvel::demo {

inline constexpr std::string_view kLookupPath = "/api/domaincheckid";

struct DirectoryReply {
  int status = 200;
  std::string body;  // ASCII: a key text, ":@|" and Base64
};

class DirectoryService {
 public:
  // Key texts for answers come from `next_key`; by default a fresh random
  // five-digit text per answer.
  DirectoryService(std::string server_number, std::string site_address,
                   std::function<std::string()> next_key = {});

  // Answers a raw request target (path and query exactly as received).
  [[nodiscard]] DirectoryReply answer(std::string_view raw_target);

 private:
  [[nodiscard]] std::string enciphered(const std::string& json_utf8);

  std::string server_number_;
  std::string site_address_;
  std::function<std::string()> next_key_;
  std::atomic<unsigned> answers_{0};
};

// The lookup request a client sends for a server number (for tests and the
// documentation): target and key text.
[[nodiscard]] std::string lookup_target(std::string_view server_number, std::string_view key);

}  // namespace quorvel::demo
