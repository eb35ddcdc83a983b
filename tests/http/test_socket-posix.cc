#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "http/test_socket.h"

namespace quorvel::test {

Socket listen_on_loopback(int& port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  const int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 64) != 0) {
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return fd;
}

Socket accept_from(Socket listener) {
  const int fd = accept(static_cast<int>(listener), nullptr, nullptr);
  return fd < 0 ? kNoSocket : fd;
}

Socket connect_to(const std::string& host, int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  inet_pton(AF_INET, host == "localhost" ? "127.0.0.1" : host.c_str(), &address.sin_addr);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return kNoSocket;
  }
  return fd;
}

void close_socket(Socket socket) {
  if (socket != kNoSocket) close(static_cast<int>(socket));
}

bool wait_readable(Socket socket, const std::atomic<bool>& stopping) {
  while (!stopping) {
    pollfd p{static_cast<int>(socket), POLLIN, 0};
    const int rc = poll(&p, 1, 50);
    if (rc > 0) return true;
    if (rc < 0) return false;
  }
  return false;
}

int receive(Socket socket, char* buffer, std::size_t size) {
  return static_cast<int>(recv(static_cast<int>(socket), buffer, size, 0));
}

int send_some(Socket socket, const char* data, std::size_t size) {
  return static_cast<int>(send(static_cast<int>(socket), data, size, MSG_NOSIGNAL));
}

void relay(Socket a, Socket b) {
  char buffer[16384];
  for (;;) {
    pollfd p[2] = {{static_cast<int>(a), POLLIN, 0}, {static_cast<int>(b), POLLIN, 0}};
    if (poll(p, 2, 10000) <= 0) return;
    for (int i = 0; i < 2; ++i) {
      if ((p[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      const int n = receive(p[i].fd, buffer, sizeof buffer);
      if (n <= 0 || !send_all(p[1 - i].fd, buffer, static_cast<std::size_t>(n))) return;
    }
  }
}

}  // namespace quorvel::test
