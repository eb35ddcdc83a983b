#include "http/tls_front.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>

#include <stdexcept>

namespace quorvel::test {
namespace {

using Ssl = std::unique_ptr<SSL, decltype(&SSL_free)>;

// Copies between the TLS client and the plain backend until either ends;
// the other is then ended too, so each side sees the close it would have
// seen without the front.
void relay_tls(SSL* ssl, Socket client, Socket backend, const std::atomic<bool>& stopping) {
  char buffer[16384];
  while (!stopping) {
    pollfd p[2] = {{static_cast<int>(client), POLLIN, 0}, {static_cast<int>(backend), POLLIN, 0}};
    if (SSL_pending(ssl) == 0 && poll(p, 2, 50) <= 0) continue;
    if (SSL_pending(ssl) > 0 || (p[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      const int n = SSL_read(ssl, buffer, sizeof buffer);
      if (n <= 0) {
        const int error = SSL_get_error(ssl, n);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) continue;
        return;
      }
      if (!send_all(backend, buffer, static_cast<std::size_t>(n))) return;
    }
    if ((p[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      const int n = receive(backend, buffer, sizeof buffer);
      if (n <= 0) {
        SSL_shutdown(ssl);
        return;
      }
      if (SSL_write(ssl, buffer, n) != n) return;
    }
  }
}

}  // namespace

TlsFront::TlsFront(const std::string& certificate_dir, bool trusted, int backend_port)
    : backend_port_(backend_port) {
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  const std::string name = certificate_dir + (trusted ? "/server" : "/untrusted");
  if (context == nullptr ||
      SSL_CTX_use_certificate_chain_file(context, (name + ".pem").c_str()) != 1 ||
      SSL_CTX_use_PrivateKey_file(context, (name + ".key").c_str(), SSL_FILETYPE_PEM) != 1) {
    SSL_CTX_free(context);
    throw std::runtime_error("test certificate missing in " + certificate_dir);
  }
  context_ = context;
  listener_ = listen_on_loopback(port_);
  acceptor_ = std::thread([this] { accept_loop(); });
}

TlsFront::~TlsFront() {
  stopping_ = true;
  acceptor_.join();
  for (std::thread& worker : workers_) worker.join();
  close_socket(listener_);
  SSL_CTX_free(static_cast<SSL_CTX*>(context_));
}

void TlsFront::accept_loop() {
  while (wait_readable(listener_, stopping_)) {
    const Socket client = accept_from(listener_);
    if (client == kNoSocket) continue;
    const std::lock_guard<std::mutex> lock(mutex_);
    workers_.emplace_back([this, client] { serve(client); });
  }
}

void TlsFront::serve(Socket client) {
  // A client that connects and never speaks must not hold the front open.
  const timeval limit{10, 0};
  setsockopt(static_cast<int>(client), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  Ssl ssl(SSL_new(static_cast<SSL_CTX*>(context_)), SSL_free);
  SSL_set_fd(ssl.get(), static_cast<int>(client));
  if (SSL_accept(ssl.get()) != 1) {  // the client refused the certificate
    ERR_clear_error();
    close_socket(client);
    return;
  }
  const Socket backend = connect_to("127.0.0.1", backend_port_);
  if (backend != kNoSocket) {
    relay_tls(ssl.get(), client, backend, stopping_);
    close_socket(backend);
  }
  ERR_clear_error();
  ssl.reset();
  close_socket(client);
}

}  // namespace quorvel::test
