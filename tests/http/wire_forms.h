// Where the two transports put the same request on the wire differently, or
// see a server differently. Linux is libcurl held to the engine's own block;
// Windows is WinHTTP as Wine implements it, where these tests run. Every
// case of the request suite runs on both; only these answers differ.
#pragma once

#include <string>

namespace quorvel::test::wire {

// The header lines a server receives (CR LF after each) for the engine's
// block, given the Host line.
//   Linux: Host, then the block as built.
//   Windows: the block, then Host and WinHTTP's own "Connection:
//   Keep-Alive"; a line written "Name:value" goes out as "Name: value".
[[nodiscard]] std::string header_lines(const std::string& host_line, const std::string& block);

// The request target the server sees for a URL's path: WinHTTP escapes "#"
// as "%23"; libcurl sends the path as given.
[[nodiscard]] std::string request_target(const std::string& path);

// Whether a server that drips header lines keeps the call alive until the
// whole exchange's deadline. libcurl sees every byte arrive; WinHTTP tells
// its caller nothing until the block is complete, so the stage's own
// timeout (plus the watchdog's second) ends the call first. Both end in 712.
[[nodiscard]] bool header_drip_meets_the_deadline();

// A header line longer than any buffer ("X-Long: aaaa…" without end):
// libcurl refuses the reply (712); Wine's WinHTTP drops the line and reads
// on, so the call succeeds there (Windows itself refuses the block).
[[nodiscard]] bool endless_header_line_fails();

// Through a proxy, what a request with proxy credentials shows.
//   Linux: credentials at once, on CONNECT too; inside the tunnel the
//   request target is the path.
//   Windows: credentials only when the proxy asks (the test proxy does not
//   ask on CONNECT, which Wine never repeats); the CONNECT carries the
//   request's headers, and inside the tunnel the target is the whole URL.
[[nodiscard]] bool credentials_on_connect();
[[nodiscard]] std::string tunnelled_target(const std::string& url, const std::string& path);

}  // namespace quorvel::test::wire
