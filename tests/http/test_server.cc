#include "http/test_server.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace quorvel::test {
namespace {

class SocketConnection : public Connection {
 public:
  SocketConnection(Socket socket, const std::atomic<bool>& stopping)
      : socket_(socket), stopping_(stopping) {}
  ~SocketConnection() override { close_socket(socket_); }

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
    return send_all(socket_, bytes.data(), bytes.size());
  }

  void wait_for_close() override {
    std::string sink;
    while (read_some(sink)) sink.clear();
  }

  [[nodiscard]] Socket socket() const override { return socket_; }

 private:
  bool read_some(std::string& data) {
    if (!wait_readable(socket_, stopping_)) return false;
    char buffer[16384];
    const int n = receive(socket_, buffer, sizeof buffer);
    if (n <= 0) return false;
    data.append(buffer, static_cast<std::size_t>(n));
    return true;
  }

  Socket socket_;
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
  [[nodiscard]] Socket socket() const override { return inner_.socket(); }

 private:
  Connection& inner_;
  TestServer& server_;
};

bool same_name(const char* a, const std::string& b) {
  for (std::size_t i = 0; i < b.size(); ++i) {
    if (a[i] == '\0' || std::tolower(static_cast<unsigned char>(a[i])) !=
                            std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string RawRequest::header_lines() const {
  const std::size_t first = head.find("\r\n");
  return head.substr(first + 2, head.size() - first - 4);
}

std::string RawRequest::header(const std::string& name) const {
  const std::string lines = "\r\n" + header_lines();
  for (std::size_t at = 0; (at = lines.find("\r\n", at)) != std::string::npos; at += 2) {
    if (!same_name(lines.c_str() + at + 2, name + ":")) continue;
    const std::size_t start = lines.find_first_not_of(' ', at + 3 + name.size());
    return lines.substr(start, lines.find("\r\n", start) - start);
  }
  return {};
}

TestServer::TestServer(Handler handler, Tls tls) : handler_(std::move(handler)), tls_(tls) {
  listener_ = listen_on_loopback(port_);
  if (tls_ != Tls::None) {
    entrance_ = open_tls_entrance(tls_ == Tls::Trusted, port_);
    if (!entrance_) {
      close_socket(listener_);
      throw std::runtime_error("no TLS entrance for the test server");
    }
  }
  acceptor_ = std::thread([this] { accept_loop(); });
}

TestServer::~TestServer() {
  stopping_ = true;
  entrance_.reset();
  acceptor_.join();
  for (std::thread& worker : workers_) worker.join();
  close_socket(listener_);
}

int TestServer::port() const {
  return entrance_ ? entrance_->port() : port_;
}

std::string TestServer::url(const std::string& path) const {
  return std::string(tls_ == Tls::None ? "http" : "https") + "://127.0.0.1:" +
         std::to_string(port()) + path;
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
    const Socket socket = accept_from(listener_);
    if (socket == kNoSocket) continue;
    workers_.emplace_back([this, socket] {
      SocketConnection connection(socket, stopping_);
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
  close_socket(listen_on_loopback(port));
  return port;
}

TestServer::Handler forwarding_proxy() {
  return [](Connection& client) {
    // Credentials are asked for, as a real proxy does: WinHTTP sends them
    // only when challenged, libcurl at once. Not for CONNECT, which Wine's
    // WinHTTP never repeats with credentials.
    RawRequest request;
    for (;;) {
      if (!client.read_request(request)) return;
      if (!request.header("Proxy-Authorization").empty() ||
          request.request_line().rfind("CONNECT ", 0) == 0) {
        break;
      }
      client.write(
          "HTTP/1.1 407 Proxy Authentication Required\r\n"
          "Proxy-Authenticate: Basic realm=\"test\"\r\nContent-Length: 0\r\n\r\n");
    }
    const std::string line = request.request_line();
    const std::size_t space = line.find(' ');
    const std::string target = line.substr(space + 1, line.rfind(' ') - space - 1);
    std::string authority = target;
    if (line.rfind("CONNECT ", 0) != 0) {
      authority = target.substr(target.find("://") + 3);
      authority = authority.substr(0, authority.find('/'));
    }
    const std::size_t colon = authority.rfind(':');
    const Socket upstream =
        connect_to(authority.substr(0, colon), std::atoi(authority.substr(colon + 1).c_str()));
    if (upstream == kNoSocket) {
      client.write("HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n");
      return;
    }
    if (line.rfind("CONNECT ", 0) == 0) {
      client.write("HTTP/1.1 200 Connection established\r\n\r\n");
    } else {
      const std::string forwarded = request.head + request.body;
      send_all(upstream, forwarded.data(), forwarded.size());
    }
    relay(client.socket(), upstream);
    close_socket(upstream);
  };
}

}  // namespace quorvel::test
