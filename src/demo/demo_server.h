// The demo site's two servers on 127.0.0.1: the directory service over
// HTTPS and the chat site (console page, page events, control interface)
// over plain HTTP, plus the visitor simulator.
#pragma once

#include <atomic>
#include <memory>
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
  [[nodiscard]] std::string site_address() const;       // http://127.0.0.1:PORT
  [[nodiscard]] const std::string& server_number() const { return options_.server_number; }
  [[nodiscard]] ChatSite& site() { return site_; }

 private:
  struct Servers;
  void simulate_visitors();

  DemoOptions options_;
  ChatSite site_;
  std::unique_ptr<Servers> servers_;
  int directory_port_ = 0;
  int site_port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread directory_thread_, site_thread_, visitor_thread_;
};

}  // namespace quorvel::demo
