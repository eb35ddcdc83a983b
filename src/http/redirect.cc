#include "http/redirect.h"

#include <algorithm>
#include <vector>

#include "base/text_ops.h"

namespace quorvel::http {
namespace {

std::size_t scheme_end(std::string_view url) {
  const std::size_t colon = url.find(':');
  if (colon == std::string_view::npos || colon == 0) return std::string_view::npos;
  for (std::size_t i = 0; i < colon; ++i) {
    const char c = url[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'))) {
      return std::string_view::npos;
    }
  }
  return colon;
}

bool web_scheme(std::string_view scheme) {
  return equal_ignoring_case(scheme, "http") || equal_ignoring_case(scheme, "https");
}

// "a/b/../c/./d" as a path says it: "a/c/d".
std::string remove_dot_segments(std::string_view path) {
  std::vector<std::string_view> kept;
  std::size_t at = 1;  // paths here start with "/"
  for (;;) {
    const std::size_t slash = path.find('/', at);
    const std::string_view segment = path.substr(at, slash - at);
    const bool last = slash == std::string_view::npos;
    if (segment == "..") {
      if (!kept.empty()) kept.pop_back();
      if (last) kept.emplace_back();
    } else if (segment == ".") {
      if (last) kept.emplace_back();
    } else {
      kept.push_back(segment);
    }
    if (last) break;
    at = slash + 1;
  }
  std::string out;
  for (const std::string_view segment : kept) out.append("/").append(segment);
  return out.empty() ? "/" : out;
}

}  // namespace

std::vector<std::string_view> lines_of(std::string_view block) {
  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < block.size();) {
    const std::size_t end = std::min(block.find("\r\n", start), block.size());
    lines.push_back(block.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

int status_code(std::string_view block) {
  if (block.size() < 12) return 0;
  int code = 0;
  for (std::size_t i = 9; i < 12; ++i) {
    if (block[i] < '0' || block[i] > '9') return 0;
    code = code * 10 + (block[i] - '0');
  }
  return code;
}

std::string location_of(std::string_view block) {
  std::string found;
  for (const std::string_view line : lines_of(block)) {
    if (line.size() > 9 && equal_ignoring_case(line.substr(0, 9), "location:")) {
      found = std::string(line.substr(std::min(line.find_first_not_of(' ', 9), line.size())));
    }
  }
  return found;
}

bool is_redirect(int code) {
  return code == 301 || code == 302 || code == 303 || code == 307 || code == 308;
}

std::string redirected_verb(int code, std::string_view verb) {
  if (verb == "HEAD") return std::string(verb);
  if (code == 303 || ((code == 301 || code == 302) && verb == "POST")) return "GET";
  return std::string(verb);
}

bool redirect_drops_body(int code, std::string_view verb) {
  return code == 303 || ((code == 301 || code == 302) && verb == "POST");
}

std::string resolve_location(std::string_view base, std::string_view target) {
  target = target.substr(0, target.find('#'));
  const std::size_t target_scheme = scheme_end(target);
  if (target_scheme != std::string_view::npos) {
    return web_scheme(target.substr(0, target_scheme)) ? std::string(target) : std::string();
  }
  const std::size_t colon = scheme_end(base);
  if (colon == std::string_view::npos || base.substr(colon, 3) != "://") return {};
  const std::string_view scheme = base.substr(0, colon);
  if (target.substr(0, 2) == "//") return std::string(scheme) + ":" + std::string(target);
  const std::size_t path_start = std::min(base.find_first_of("/?#", colon + 3), base.size());
  const std::string_view origin = base.substr(0, path_start);
  std::string_view rest = base.substr(path_start);
  rest = rest.substr(0, rest.find('#'));
  const std::string_view path = rest.substr(0, rest.find('?'));
  std::string joined;
  if (target.empty()) {
    return std::string(origin) + std::string(rest.empty() ? "/" : rest);
  } else if (target.front() == '?') {
    joined = std::string(path.empty() ? "/" : path);
    return std::string(origin) + joined + std::string(target);
  } else if (target.front() == '/') {
    joined = std::string(target);
  } else {
    const std::size_t slash = path.rfind('/');
    joined = std::string(slash == std::string_view::npos ? "/" : path.substr(0, slash + 1)) +
             std::string(target);
  }
  const std::size_t query = joined.find('?');
  return std::string(origin) + remove_dot_segments(joined.substr(0, query)) +
         (query == std::string::npos ? std::string() : joined.substr(query));
}

}  // namespace quorvel::http
