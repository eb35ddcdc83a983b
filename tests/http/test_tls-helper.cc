// Windows: the TLS entrance is the Linux helper `tls_front` that the test's
// wrapper started, reached at the address in QUORVEL_TLS_FRONT. One control
// connection per entrance: "trusted PORT" or "untrusted PORT" goes out, the
// entrance's port comes back, and closing the connection ends the entrance.
#include <cstdlib>
#include <string>

#include "http/test_server.h"

namespace quorvel::test {
namespace {

class HelperEntrance final : public TlsEntrance {
 public:
  HelperEntrance(Socket control, int port) : control_(control), port_(port) {}
  ~HelperEntrance() override { close_socket(control_); }
  [[nodiscard]] int port() const override { return port_; }

 private:
  Socket control_;
  int port_;
};

}  // namespace

std::unique_ptr<TlsEntrance> open_tls_entrance(bool trusted, int backend_port) {
  const char* address = std::getenv("QUORVEL_TLS_FRONT");
  if (address == nullptr) return nullptr;
  const std::string text = address;
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos) return nullptr;
  const Socket control = connect_to(text.substr(0, colon), std::atoi(text.c_str() + colon + 1));
  if (control == kNoSocket) return nullptr;
  const std::string ask =
      std::string(trusted ? "trusted " : "untrusted ") + std::to_string(backend_port) + "\n";
  std::string answer;
  char c = 0;
  if (send_all(control, ask.data(), ask.size())) {
    while (receive(control, &c, 1) == 1 && c != '\n') answer += c;
  }
  const int port = std::atoi(answer.c_str());
  if (port <= 0) {
    close_socket(control);
    return nullptr;
  }
  return std::make_unique<HelperEntrance>(control, port);
}

}  // namespace quorvel::test
