// tls_front CERTIFICATE-DIR: the TLS entrance for the Windows request tests
// under Wine, which have no TLS server of their own. Prints
// "control 127.0.0.1:PORT" and serves each control connection: a line
// "trusted BACKEND" or "untrusted BACKEND" opens an entrance relaying to
// 127.0.0.1:BACKEND and answers its port; the entrance lasts until the
// control connection closes. Runs until killed.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <thread>

#include "http/tls_front.h"

using quorvel::test::Socket;

namespace {

void serve_control(const std::string& dir, Socket control) {
  std::string line;
  char c = 0;
  while (quorvel::test::receive(control, &c, 1) == 1 && c != '\n') line += c;
  const std::size_t space = line.find(' ');
  std::unique_ptr<quorvel::test::TlsFront> front;
  if (space != std::string::npos) {
    try {
      front = std::make_unique<quorvel::test::TlsFront>(dir, line.substr(0, space) == "trusted",
                                                        std::atoi(line.c_str() + space + 1));
    } catch (const std::exception& e) {
      std::fprintf(stderr, "tls_front: %s\n", e.what());
    }
  }
  const std::string answer = (front ? std::to_string(front->port()) : "0") + "\n";
  if (quorvel::test::send_all(control, answer.data(), answer.size())) {
    char sink[64];
    while (quorvel::test::receive(control, sink, sizeof sink) > 0) {
    }
  }
  front.reset();
  quorvel::test::close_socket(control);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tls_front CERTIFICATE-DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  int port = 0;
  const Socket listener = quorvel::test::listen_on_loopback(port);
  std::printf("control 127.0.0.1:%d\n", port);
  std::fflush(stdout);
  for (;;) {
    const Socket control = quorvel::test::accept_from(listener);
    if (control != quorvel::test::kNoSocket) std::thread(serve_control, dir, control).detach();
  }
}
