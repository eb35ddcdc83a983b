// quorvel-demo-site: a local stand-in for the directory service and the
// chat site, so that the client can be tried and tested on one machine.
//   quorvel-demo-site [--directory-port N] [--site-port N] [--server-number N]
//                     [--no-visitors] [--visitor-period S] [--cert PEM --key PEM]
//                     [--site-cert PEM --site-key PEM] [--no-login]
// Port 0 takes any free port; the addresses in use are printed.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "demo/demo_server.h"

namespace {

constexpr const char* kUsage =
    "usage: quorvel-demo-site [--directory-port N] [--site-port N] [--server-number N]\n"
    "                         [--no-visitors] [--visitor-period SECONDS]\n"
    "                         [--cert PEM --key PEM] [--site-cert PEM --site-key PEM]\n"
    "                         [--no-login]\n";

bool parse(int argc, char** argv, quorvel::demo::DemoOptions& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--no-visitors") {
      o.visitors = false;
      continue;
    }
    if (a == "--no-login") {
      o.login = false;
      continue;
    }
    if (i + 1 >= argc) return false;
    const std::string value = argv[++i];
    if (a == "--directory-port") {
      o.directory_port = std::atoi(value.c_str());
    } else if (a == "--site-port") {
      o.site_port = std::atoi(value.c_str());
    } else if (a == "--server-number") {
      o.server_number = value;
    } else if (a == "--visitor-period") {
      o.visitor_period = std::chrono::seconds(std::max(1, std::atoi(value.c_str())));
    } else if (a == "--cert") {
      o.certificate_file = value;
    } else if (a == "--key") {
      o.key_file = value;
    } else if (a == "--site-cert") {
      o.site_certificate_file = value;
    } else if (a == "--site-key") {
      o.site_key_file = value;
    } else {
      return false;
    }
  }
  return o.directory_port >= 0 && o.site_port >= 0 && !o.server_number.empty() &&
         o.site_certificate_file.empty() == o.site_key_file.empty();
}

}  // namespace

int main(int argc, char** argv) {
  quorvel::demo::DemoOptions options;
  options.certificate_file = QUORVEL_DEMO_CERT_DIR "/server.pem";
  options.key_file = QUORVEL_DEMO_CERT_DIR "/server.key";
  if (!parse(argc, argv, options)) {
    std::cerr << kUsage;
    return 2;
  }
  // Ctrl+C and SIGTERM are taken by sigwait below, in this thread only: the
  // servers' threads inherit the blocked mask.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  // Scripts wait for these lines, not for the first refused connection: a
  // connection kept open may be answered a moment longer.
  options.on_site_state = [](bool serving) {
    std::cout << (serving ? "客服站点已恢复\n" : "客服站点已停止\n") << std::flush;
  };
  quorvel::demo::DemoServer server(options);
  std::string error;
  if (!server.start(error)) {
    std::cerr << "quorvel-demo-site: " << error << "\n";
    return 1;
  }
  std::cout << "Quorvel 演示站点\n"
            << "服务器编号: " << server.server_number() << "\n"
            << "目录服务: " << server.directory_address() << "\n"
            << "客服站点: " << server.site_address() << "/service/login\n"
            << (options.visitors ? "" : "访客模拟已关闭\n") << std::flush;
  int received = 0;
  sigwait(&stop_signals, &received);
  server.stop();
  std::cout << "已停止\n";
  return 0;
}
