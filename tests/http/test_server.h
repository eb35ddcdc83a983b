// A small HTTP server on 127.0.0.1 for the request engine's tests: it hands
// every connection to the test's handler, which reads the raw request and
// writes whatever raw bytes the test wants (or nothing at all), so that the
// tests see exactly what went over the wire, both ways.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "http/test_socket.h"

namespace quorvel::test {

// Where a secure server's clients connect: TLS ends there and the plain
// bytes go on to the server's own port. Linux runs it in the test; the
// Windows tests, which have no TLS server of their own, ask a helper program
// running beside them on the Linux side.
class TlsEntrance {
 public:
  virtual ~TlsEntrance() = default;
  [[nodiscard]] virtual int port() const = 0;
};
// Null when no entrance can be had; the server then refuses to start.
[[nodiscard]] std::unique_ptr<TlsEntrance> open_tls_entrance(bool trusted, int backend_port);

struct RawRequest {
  std::string head;  // request line and header lines, up to the empty line
  std::string body;  // Content-Length bytes after it
  [[nodiscard]] std::string request_line() const { return head.substr(0, head.find("\r\n")); }
  // The header lines after the request line, each ending in CR LF, without
  // the final empty line.
  [[nodiscard]] std::string header_lines() const;
  [[nodiscard]] std::string header(const std::string& name) const;
};

class Connection {
 public:
  virtual ~Connection() = default;
  // Reads one request; false when the peer closed or sent garbage.
  virtual bool read_request(RawRequest& request) = 0;
  virtual bool write(const std::string& bytes) = 0;
  // Waits until the peer closes or the server stops.
  virtual void wait_for_close() = 0;
  // The socket, for relaying.
  [[nodiscard]] virtual Socket socket() const = 0;
};

class TestServer {
 public:
  using Handler = std::function<void(Connection&)>;
  enum class Tls { None, Trusted, Untrusted };

  explicit TestServer(Handler handler, Tls tls = Tls::None);
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  // The port clients connect to (the entrance's for a secure server).
  [[nodiscard]] int port() const;
  [[nodiscard]] std::string url(const std::string& path = "/") const;
  // Every request read by a handler, in order.
  [[nodiscard]] std::vector<RawRequest> requests() const;
  void record(const RawRequest& request);

 private:
  void accept_loop();

  Handler handler_;
  Tls tls_;
  Socket listener_ = kNoSocket;
  int port_ = 0;
  std::unique_ptr<TlsEntrance> entrance_;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
  std::vector<std::thread> workers_;
  mutable std::mutex mutex_;
  std::vector<RawRequest> requests_;
};

// Answers every request with the same raw response.
TestServer::Handler answer(std::string response);
// A complete response with a Content-Length body.
std::string response(const std::string& status, const std::string& headers,
                     const std::string& body);
// A port on which nothing listens.
int closed_port();

// Relays between a client and the server named by the request: absolute-form
// requests are forwarded, CONNECT opens a tunnel. A forwarded request
// without Proxy-Authorization is answered 407 on the same connection first.
// Records each request head.
TestServer::Handler forwarding_proxy();

}  // namespace quorvel::test
