// The demo site's two servers on 127.0.0.1: the directory service over
// HTTPS and the chat site (console page, page events, control interface)
// over plain HTTP, plus the visitor simulator.
#pragma once

#include <atomic>
#include <memory>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "demo/chat_site.h"

namespace quorvel::demo {

struct DemoOptions {
  int directory_port = 18443;  // 0: any free port
  int site_port = 18080;
  std::string server_number = "8866";
  std::string certificate_file;  // PEM, for 127.0.0.1
  std::string key_file;
  bool visitors = true;                     // the simulator
  std::chrono::seconds visitor_period{20};  // mean time between visitor messages
  // The console over HTTPS with this certificate (of no trusted authority,
  // for the client's trust page); plain HTTP when empty.
  std::string site_certificate_file;
  std::string site_key_file;
  bool login = true;  // the console asks for a login, kept in a cookie
  // Told when the site has gone down (every connection closed) and when it
  // serves again, from a thread of the server's own.
  std::function<void(bool serving)> on_site_state;
};

class DemoServer {
 public:
  explicit DemoServer(DemoOptions options);
  ~DemoServer();
  DemoServer(const DemoServer&) = delete;
  DemoServer& operator=(const DemoServer&) = delete;

  // Binds both ports and starts serving; false (with `error` set) when a
  // port is taken or the certificate cannot be read.
  [[nodiscard]] bool start(std::string& error);
  void stop();

  [[nodiscard]] std::string directory_address() const;  // https://127.0.0.1:PORT
  [[nodiscard]] std::string site_address() const;       // http(s)://127.0.0.1:PORT
  [[nodiscard]] const std::string& server_number() const { return options_.server_number; }
  [[nodiscard]] ChatSite& site() { return site_; }

 private:
  struct Servers;
  void simulate_visitors();
  // A fresh site server with its routes, bound to the site's port.
  [[nodiscard]] bool open_site(std::string& error);
  void route_site_api();
  void route_site_control();
  void route_console();
  void route_files();
  // The site refuses connections for a while, then serves again.
  void go_down(std::chrono::seconds how_long);

  DemoOptions options_;
  ChatSite site_;
  std::unique_ptr<Servers> servers_;
  int directory_port_ = 0;
  int site_port_ = 0;
  std::atomic<bool> stopping_{false};
  // Changes whenever the site server is replaced: event streams of the old
  // one end.
  std::atomic<int> listening_{0};  // pages with their event stream open
  std::atomic<int> site_generation_{0};
  std::atomic<int> slow_ms_{0};
  // Requests for each file the site hands over, for the tests.
  std::mutex files_mutex_;
  std::map<std::string, int> file_requests_;
  std::mutex down_mutex_;
  std::atomic<bool> site_down_{false};
  std::thread directory_thread_, site_thread_, visitor_thread_, down_thread_;
};

}  // namespace quorvel::demo
