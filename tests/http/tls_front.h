// TLS in front of a plain test server: accepts TLS connections on a port of
// its own with the test authority's certificate ("server") or one no trusted
// authority signed ("untrusted"), and relays the plain bytes to the backend
// port. A handshake the client refuses never reaches the backend.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "http/test_socket.h"

namespace quorvel::test {

class TlsFront {
 public:
  // Throws when the certificate or the port cannot be had.
  TlsFront(const std::string& certificate_dir, bool trusted, int backend_port);
  ~TlsFront();
  TlsFront(const TlsFront&) = delete;
  TlsFront& operator=(const TlsFront&) = delete;

  [[nodiscard]] int port() const { return port_; }

 private:
  void accept_loop();
  void serve(Socket client);

  void* context_ = nullptr;
  int backend_port_;
  Socket listener_ = kNoSocket;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
  std::mutex mutex_;
  std::vector<std::thread> workers_;
};

}  // namespace quorvel::test
