// Linux: the TLS entrance runs inside the test.
#include "http/test_server.h"
#include "http/tls_front.h"

namespace quorvel::test {
namespace {

class LocalEntrance final : public TlsEntrance {
 public:
  LocalEntrance(bool trusted, int backend_port)
      : front_(QUORVEL_TEST_CA_DIR, trusted, backend_port) {}
  [[nodiscard]] int port() const override { return front_.port(); }

 private:
  TlsFront front_;
};

}  // namespace

std::unique_ptr<TlsEntrance> open_tls_entrance(bool trusted, int backend_port) {
  return std::make_unique<LocalEntrance>(trusted, backend_port);
}

}  // namespace quorvel::test
