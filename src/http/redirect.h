// The redirect rules both transports follow themselves, hop by hop: at most
// kMaxRedirects, only to http and https, never from https to http (the
// redirect response is then the answer), and a POST that meets 301, 302 or
// 303 (any verb but HEAD for 303) goes on as a GET without its body.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvel::http {

constexpr int kMaxRedirects = 10;

// The lines of a raw header block, split at every CR LF byte pair (raw bytes
// from the wire, so no character boundaries apply).
[[nodiscard]] std::vector<std::string_view> lines_of(std::string_view block);

// The status code of a block's status line ("HTTP/1.1 302 Found"), 0 when
// it has none.
[[nodiscard]] int status_code(std::string_view block);
// The last Location line's value, empty when there is none.
[[nodiscard]] std::string location_of(std::string_view block);
[[nodiscard]] bool is_redirect(int code);
// The verb of the next hop, and whether the body stays behind.
[[nodiscard]] std::string redirected_verb(int code, std::string_view verb);
[[nodiscard]] bool redirect_drops_body(int code, std::string_view verb);
// The target as an absolute URL, resolved against the URL that answered;
// empty when it is no http or https URL.
[[nodiscard]] std::string resolve_location(std::string_view base, std::string_view target);

}  // namespace quorvel::http
