// The few socket calls the request tests' servers make, over BSD sockets on
// Linux and Winsock on Windows, so that the servers and their handlers are
// the same code on both.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvel::test {

using Socket = std::intptr_t;
constexpr Socket kNoSocket = -1;

// Listens on 127.0.0.1 at a port the system picks (0) or at `port`.
[[nodiscard]] Socket listen_on_loopback(int& port);
[[nodiscard]] Socket accept_from(Socket listener);
[[nodiscard]] Socket connect_to(const std::string& host, int port);
void close_socket(Socket socket);
// True when there is something to read (or the peer closed); false once
// `stopping` is set or the socket failed.
bool wait_readable(Socket socket, const std::atomic<bool>& stopping);
// Bytes read or sent, 0 when the peer closed, below 0 on failure.
int receive(Socket socket, char* buffer, std::size_t size);
int send_some(Socket socket, const char* data, std::size_t size);
bool send_all(Socket socket, const char* data, std::size_t size);
// Copies bytes both ways until either side closes or both are quiet for
// ten seconds.
void relay(Socket a, Socket b);

}  // namespace quorvel::test
