#include <winsock2.h>
#include <ws2tcpip.h>

#include <stdexcept>

#include "http/test_socket.h"

namespace quorvel::test {
namespace {

// Winsock wants starting once per process before the first socket.
void start_winsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) throw std::runtime_error("Winsock did not start");
}

SOCKET native(Socket socket) {
  return static_cast<SOCKET>(socket);
}

sockaddr_in loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

}  // namespace

Socket listen_on_loopback(int& port) {
  start_winsock();
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = loopback(port);
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 64) != 0) {
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  int length = sizeof address;
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return static_cast<Socket>(s);
}

Socket accept_from(Socket listener) {
  const SOCKET s = accept(native(listener), nullptr, nullptr);
  return s == INVALID_SOCKET ? kNoSocket : static_cast<Socket>(s);
}

Socket connect_to(const std::string& host, int port) {
  start_winsock();
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = loopback(port);
  if (host != "localhost") inet_pton(AF_INET, host.c_str(), &address.sin_addr);
  if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    closesocket(s);
    return kNoSocket;
  }
  return static_cast<Socket>(s);
}

void close_socket(Socket socket) {
  if (socket != kNoSocket) closesocket(native(socket));
}

bool wait_readable(Socket socket, const std::atomic<bool>& stopping) {
  while (!stopping) {
    WSAPOLLFD p{native(socket), POLLRDNORM, 0};
    const int rc = WSAPoll(&p, 1, 50);
    if (rc > 0) return true;
    if (rc < 0) return false;
  }
  return false;
}

int receive(Socket socket, char* buffer, std::size_t size) {
  return recv(native(socket), buffer, static_cast<int>(size), 0);
}

int send_some(Socket socket, const char* data, std::size_t size) {
  return send(native(socket), data, static_cast<int>(size), 0);
}

void relay(Socket a, Socket b) {
  char buffer[16384];
  for (;;) {
    WSAPOLLFD p[2] = {{native(a), POLLRDNORM, 0}, {native(b), POLLRDNORM, 0}};
    if (WSAPoll(p, 2, 10000) <= 0) return;
    for (int i = 0; i < 2; ++i) {
      if ((p[i].revents & (POLLRDNORM | POLLHUP | POLLERR)) == 0) continue;
      const int n = receive(static_cast<Socket>(p[i].fd), buffer, sizeof buffer);
      if (n <= 0 || !send_all(static_cast<Socket>(p[1 - i].fd), buffer,
                              static_cast<std::size_t>(n))) {
        return;
      }
    }
  }
}

}  // namespace quorvel::test
