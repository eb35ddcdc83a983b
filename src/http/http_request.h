// One HTTP or HTTPS exchange, with the toolkit of a scripted browser around
// it: eight verbs, a text or byte body, default browser-like headers, cookies
// sent and gathered, a proxy, basic credentials, a timeout, redirects
// followed or not, and the body converted from the charset its page names.
//
// Every call stands alone: nothing is pooled or remembered between calls;
// cookies live on only in the texts the caller passes back in. Failures never
// throw: the failing step's message goes to `status_text` and the result is
// empty. Out arguments are written only on the paths that reach them, so a
// caller's value survives a failure. Texts are internal text.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "base/text.h"

namespace quorvel::http {

// The body read is capped, so that a hostile server cannot exhaust memory;
// past the cap reading stops as a failed read does.
inline constexpr std::size_t kMaxBodyBytes = std::size_t{64} << 20;

// Verb for a method index; unknown indexes mean "GET".
[[nodiscard]] std::string_view verb_name(int method) noexcept;

// The outgoing header block as the engine hands it to the transport: caller
// lines, defaults the caller did not give, normalised names, no keep-alive
// line that a CR LF follows, and the cookie line.
[[nodiscard]] Text build_header_block(std::string_view extra_headers, int method,
                                      bool default_headers, bool normalize_headers,
                                      std::string_view send_cookies);

// The status code and reason of a raw response block: from its 10th
// character to the first CR LF at or after it.
[[nodiscard]] Text status_from_block(std::string_view block);

// The body bytes as text: up to the first zero byte, converted from the
// charset that a meta tag in the first 1024 bytes names, unless that is
// exactly "gbk" or "gb2312" (already the internal encoding).
[[nodiscard]] Text body_text(const Bytes& body);

// What a request may set besides its URL, every field at its default.
// Callers name what they set:
//     send_request(url, {.method = 1, .post_text = form, .timeout_seconds = 5});
struct HttpRequestOptions {
  int method = 0;  // 0 GET, 1 POST, 2 HEAD, 3 PUT, 4 OPTIONS, 5 DELETE, 6 TRACE, 7 CONNECT
  std::string_view post_text;
  const Bytes* post_bytes = nullptr;  // sent instead of post_text when not empty
  std::string_view send_cookies;
  // Cookies gathered so far: what arrives is added after them.
  std::string_view received_cookies;
  bool merge_cookies = true;
  std::string_view extra_headers;
  bool default_headers = true;
  bool normalize_headers = true;
  bool no_redirect = false;
  std::string_view user_name, password;
  std::string_view proxy, proxy_user, proxy_password;
  int timeout_seconds = 0;  // 0: 30 s for each stage
  bool verify_certificates = true;
};

// What came back. A field is set only when the exchange reached the step
// that sets it, as the out arguments of the call below are written.
struct HttpResult {
  Text body;  // the body as text: empty on failure
  std::optional<Text> status_text;
  std::optional<Text> response_headers;
  std::optional<Text> received_cookies;
  std::optional<Text> send_cookies;  // the sent cookies merged with the received ones
  std::optional<Text> location;
  std::optional<Bytes> bytes;
};

[[nodiscard]] HttpResult send_request(std::string_view url, const HttpRequestOptions& options = {});

// The Part's call: arguments 1 to 21 in their fixed order, then whether
// certificates are verified. Pointers stand for the in/out and out arguments; a null pointer
// is an empty text that nobody reads back.
Text http_request(std::string_view url, int method = 0, std::string_view post_text = {},
                  Text* send_cookies = nullptr, Text* received_cookies = nullptr,
                  std::string_view extra_headers = {}, Text* response_headers = nullptr,
                  bool no_redirect = false, std::string_view user_name = {},
                  std::string_view password = {}, std::string_view proxy = {},
                  std::string_view proxy_user = {}, std::string_view proxy_password = {},
                  int timeout_seconds = 0, Text* location = nullptr, Text* status_text = nullptr,
                  Bytes* response_bytes = nullptr, bool merge_cookies = true,
                  bool default_headers = true, const Bytes& post_bytes = {},
                  bool normalize_headers = true, bool verify_certificates = true);

}  // namespace quorvel::http
