#include "http/wire_forms.h"

namespace quorvel::test::wire {

std::string header_lines(const std::string& host_line, const std::string& block) {
  return host_line + block;
}

std::string request_target(const std::string& path) {
  return path;
}

bool header_drip_meets_the_deadline() {
  return true;
}

bool endless_header_line_fails() {
  return true;
}

bool credentials_on_connect() {
  return true;
}

std::string tunnelled_target(const std::string&, const std::string& path) {
  return path;
}

}  // namespace quorvel::test::wire
