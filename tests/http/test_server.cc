#include "http/test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace quorvel::test {
namespace {

int listen_on_loopback(int& port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  const int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 64) != 0) {
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return fd;
}

int connect_to(const std::string& host, int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  inet_pton(AF_INET, host == "localhost" ? "127.0.0.1" : host.c_str(), &address.sin_addr);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool wait_readable(int fd, const std::atomic<bool>& stopping) {
  while (!stopping) {
    pollfd p{fd, POLLIN, 0};
    const int rc = poll(&p, 1, 50);
    if (rc > 0) return true;
    if (rc < 0) return false;
  }
  return false;
}

bool write_all(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Copies bytes both ways until either side closes.
void relay(int a, int b) {
  char buffer[16384];
  for (;;) {
    pollfd p[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
    if (poll(p, 2, 10000) <= 0) return;
    for (int i = 0; i < 2; ++i) {
      if ((p[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      const ssize_t n = recv(p[i].fd, buffer, sizeof buffer, 0);
      if (n <= 0 || !write_all(p[1 - i].fd, buffer, static_cast<std::size_t>(n))) return;
    }
  }
}

class SocketConnection : public Connection {
 public:
  SocketConnection(int fd, SSL* ssl, const std::atomic<bool>& stopping)
      : fd_(fd), ssl_(ssl), stopping_(stopping) {}
  ~SocketConnection() override {
    if (ssl_ != nullptr) {
      SSL_shutdown(ssl_);
      SSL_free(ssl_);
    }
    close(fd_);
  }

  bool read_request(RawRequest& request) override {
    std::string data = std::move(pending_);
    pending_.clear();
    std::size_t end;
    while ((end = data.find("\r\n\r\n")) == std::string::npos) {
      if (!read_some(data)) return false;
    }
    request.head = data.substr(0, end + 4);
    data.erase(0, end + 4);
    const std::string length = request.header("Content-Length");
    const std::size_t want = length.empty() ? 0 : std::strtoul(length.c_str(), nullptr, 10);
    while (data.size() < want) {
      if (!read_some(data)) return false;
    }
    request.body = data.substr(0, want);
    pending_ = data.substr(want);
    return true;
  }

  bool write(const std::string& bytes) override {
    if (ssl_ == nullptr) return write_all(fd_, bytes.data(), bytes.size());
    return bytes.empty() || SSL_write(ssl_, bytes.data(), static_cast<int>(bytes.size())) ==
                                static_cast<int>(bytes.size());
  }

  void wait_for_close() override {
    std::string sink;
    while (read_some(sink)) sink.clear();
  }

  [[nodiscard]] int fd() const override { return fd_; }

 private:
  bool read_some(std::string& data) {
    if ((ssl_ == nullptr || SSL_pending(ssl_) == 0) && !wait_readable(fd_, stopping_)) {
      return false;
    }
    char buffer[16384];
    const int n = ssl_ != nullptr ? SSL_read(ssl_, buffer, sizeof buffer)
                                  : static_cast<int>(recv(fd_, buffer, sizeof buffer, 0));
    if (n <= 0) return false;
    data.append(buffer, static_cast<std::size_t>(n));
    return true;
  }

  int fd_;
  SSL* ssl_;
  const std::atomic<bool>& stopping_;
  std::string pending_;
};

class RecordingConnection : public Connection {
 public:
  RecordingConnection(Connection& inner, TestServer& server) : inner_(inner), server_(server) {}
  bool read_request(RawRequest& request) override {
    if (!inner_.read_request(request)) return false;
    server_.record(request);
    return true;
  }
  bool write(const std::string& bytes) override { return inner_.write(bytes); }
  void wait_for_close() override { inner_.wait_for_close(); }
  [[nodiscard]] int fd() const override { return inner_.fd(); }

 private:
  Connection& inner_;
  TestServer& server_;
};

}  // namespace

std::string RawRequest::header_lines() const {
  const std::size_t first = head.find("\r\n");
  return head.substr(first + 2, head.size() - first - 4);
}

std::string RawRequest::header(const std::string& name) const {
  const std::string lines = "\r\n" + header_lines();
  for (std::size_t at = 0; (at = lines.find("\r\n", at)) != std::string::npos; at += 2) {
    if (strncasecmp(lines.c_str() + at + 2, (name + ":").c_str(), name.size() + 1) != 0) continue;
    const std::size_t start = lines.find_first_not_of(' ', at + 3 + name.size());
    return lines.substr(start, lines.find("\r\n", start) - start);
  }
  return {};
}

TestServer::TestServer(Handler handler, Tls tls) : handler_(std::move(handler)), tls_(tls) {
  if (tls_ != Tls::None) {
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    const std::string dir = QUORVEL_TEST_CA_DIR;
    const std::string name = tls_ == Tls::Trusted ? "server" : "untrusted";
    if (SSL_CTX_use_certificate_chain_file(ctx, (dir + "/" + name + ".pem").c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(ctx, (dir + "/" + name + ".key").c_str(), SSL_FILETYPE_PEM) !=
            1) {
      throw std::runtime_error("test certificate missing in " + dir);
    }
    ssl_ctx_ = ctx;
  }
  listener_ = listen_on_loopback(port_);
  acceptor_ = std::thread([this] { accept_loop(); });
}

TestServer::~TestServer() {
  stopping_ = true;
  acceptor_.join();
  for (std::thread& worker : workers_) worker.join();
  close(listener_);
  SSL_CTX_free(static_cast<SSL_CTX*>(ssl_ctx_));
}

std::string TestServer::url(const std::string& path) const {
  return std::string(tls_ == Tls::None ? "http" : "https") +
         "://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<RawRequest> TestServer::requests() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void TestServer::record(const RawRequest& request) {
  const std::lock_guard<std::mutex> lock(mutex_);
  requests_.push_back(request);
}

void TestServer::accept_loop() {
  while (wait_readable(listener_, stopping_)) {
    const int fd = accept(listener_, nullptr, nullptr);
    if (fd < 0) continue;
    workers_.emplace_back([this, fd] {
      SSL* ssl = nullptr;
      if (ssl_ctx_ != nullptr) {
        ssl = SSL_new(static_cast<SSL_CTX*>(ssl_ctx_));
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) != 1) {  // the client refused our certificate
          ERR_clear_error();
          SSL_free(ssl);
          close(fd);
          return;
        }
      }
      SocketConnection connection(fd, ssl, stopping_);
      RecordingConnection recording(connection, *this);
      handler_(recording);
    });
  }
}

TestServer::Handler answer(std::string raw) {
  return [raw](Connection& c) {
    RawRequest request;
    if (c.read_request(request)) c.write(raw);
  };
}

std::string response(const std::string& status, const std::string& headers,
                     const std::string& body) {
  return "HTTP/1.1 " + status + "\r\n" + headers +
         "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

int closed_port() {
  int port = 0;
  close(listen_on_loopback(port));
  return port;
}

TestServer::Handler forwarding_proxy() {
  return [](Connection& client) {
    RawRequest request;
    if (!client.read_request(request)) return;
    const std::string line = request.request_line();
    const std::size_t space = line.find(' ');
    const std::string target = line.substr(space + 1, line.rfind(' ') - space - 1);
    std::string authority = target;
    if (line.rfind("CONNECT ", 0) != 0) {
      authority = target.substr(target.find("://") + 3);
      authority = authority.substr(0, authority.find('/'));
    }
    const std::size_t colon = authority.rfind(':');
    const int upstream =
        connect_to(authority.substr(0, colon), std::atoi(authority.substr(colon + 1).c_str()));
    if (upstream < 0) {
      client.write("HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n");
      return;
    }
    if (line.rfind("CONNECT ", 0) == 0) {
      client.write("HTTP/1.1 200 Connection established\r\n\r\n");
    } else {
      const std::string forwarded = request.head + request.body;
      write_all(upstream, forwarded.data(), forwarded.size());
    }
    relay(client.fd(), upstream);
    close(upstream);
  };
}

}  // namespace quorvel::test
