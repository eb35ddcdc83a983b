#include "http/test_socket.h"

namespace quorvel::test {

bool send_all(Socket socket, const char* data, std::size_t size) {
  while (size > 0) {
    const int n = send_some(socket, data, size);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace quorvel::test
