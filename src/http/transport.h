// The platform's HTTP transport under the request engine: it moves one
// exchange (redirects included) and reports which stage failed. The engine
// builds the header block and interprets the response; a transport adds no
// request header of its own beyond Host and Content-Length, and gives back
// only the final response's header block.
#pragma once

#include <cstddef>
#include <string_view>

#include "base/text.h"

namespace quorvel::http {

// The stage that failed, each with its own message in the engine. A
// transport reports a stage as the platform's stepwise API would see it:
// a URL it cannot parse (or whose scheme is neither http nor https) is
// BadUrl; a connection refused, unresolvable or timed out is Send (the
// connection is only made when the request is sent); no response header
// within the timeout is Receive; a certificate that does not verify is
// Certificate.
enum class TransportFailure {
  None,
  Platform,     // the platform has no HTTP service
  BadUrl,       // the URL cannot be parsed
  Session,      // no session could be created
  Timeouts,     // the timeouts could not be set
  Connection,   // no connection handle
  Request,      // no request handle
  Credentials,  // server or proxy credentials refused
  Certificate,  // certificate checks could not be set, or the certificate failed
  Cookies,      // the platform's cookie handling could not be set
  Redirects,    // redirects could not be turned off
  Headers,      // the header block was refused
  Send,
  Receive,
  TooManyRedirects,  // a receive failure of its own: more than 10 redirects
};

struct TransportRequest {
  std::string_view url;
  std::string_view verb;
  std::string_view headers;                     // lines joined by CR LF, no trailing CR LF needed
  std::string_view body;                        // sent with any verb when not empty
  std::string_view user_name, password;         // both given or neither
  std::string_view proxy;                       // "host:port", for any scheme
  std::string_view proxy_user, proxy_password;  // both given or neither
  int timeout_ms = 30000;                       // each of resolve, connect, send and receive
  // The whole exchange, redirects included, ends as a receive failure at
  // this deadline: a server that drips a byte now and then never times a
  // stage out.
  int total_ms = 120000;
  bool follow_redirects = true;
  bool platform_cookies = false;  // cookies of one redirect hop go to the next
  bool verify_certificates = true;
  std::size_t max_body_bytes = 0;
};

struct TransportResponse {
  TransportFailure failure = TransportFailure::None;
  bool read_failed = false;  // the body stopped early (cap, broken or stalled read)
  Text header_block;         // status line first, CR LF after every line
  Bytes body;
};

[[nodiscard]] TransportResponse perform_transport(const TransportRequest& request);

}  // namespace quorvel::http
