#include "http/wire_forms.h"

namespace quorvel::test::wire {

std::string header_lines(const std::string& host_line, const std::string& block) {
  std::string lines;
  for (std::size_t at = 0; at < block.size();) {
    const std::size_t end = block.find("\r\n", at);
    std::string line = block.substr(at, end - at);
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos && colon + 1 < line.size() && line[colon + 1] != ' ') {
      line.insert(colon + 1, " ");
    }
    lines += line + "\r\n";
    at = end + 2;
  }
  return lines + host_line + "Connection: Keep-Alive\r\n";
}

std::string request_target(const std::string& path) {
  std::string out;
  for (const char c : path) out += c == '#' ? std::string("%23") : std::string(1, c);
  return out;
}

bool header_drip_meets_the_deadline() {
  return false;
}

bool endless_header_line_fails() {
  return false;
}

bool credentials_on_connect() {
  return false;
}

std::string tunnelled_target(const std::string& url, const std::string&) {
  return url;
}

}  // namespace quorvel::test::wire
