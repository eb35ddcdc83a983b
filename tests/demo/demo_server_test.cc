// The demo site's servers for real on 127.0.0.1, reached through the
// client's own request engine with certificate verification on.
#include "demo/demo_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "binding/directory_answer.h"
#include "demo/directory_service.h"
#include "http/http_request.h"
#include "tools/tool_commands.h"

namespace quorvel::demo {
namespace {

std::string form_encode(std::string_view utf8) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : utf8) {
    const auto b = static_cast<unsigned char>(c);
    if (std::isalnum(b) != 0 || c == '-' || c == '_' || c == '.') {
      out += c;
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
    }
  }
  return out;
}

class DemoServerTest : public ::testing::Test {
 protected:
  void SetUp() override { start(false); }
  void start(bool login) {
    DemoOptions options;
    options.directory_port = 0;
    options.site_port = 0;
    options.visitors = false;
    options.login = login;
    options.certificate_file = QUORVEL_TEST_CA_DIR "/server.pem";
    options.key_file = QUORVEL_TEST_CA_DIR "/server.key";
    server_.reset();
    server_ = std::make_unique<DemoServer>(options);
    std::string error;
    ASSERT_TRUE(server_->start(error)) << error;
  }

  // The body's bytes as they came (the servers answer in UTF-8); the
  // status text into `status` when given.
  std::string get(const std::string& url, std::string* status = nullptr) {
    Text status_text;
    const Text body = http::http_request(from_utf8(url), 0, {}, nullptr, nullptr, {}, nullptr,
                                         false, {}, {}, {}, {}, {}, 5, nullptr, &status_text);
    if (status != nullptr) *status = to_utf8(status_text);
    return body;
  }
  std::string post(const std::string& url, const std::string& form) {
    return http::http_request(from_utf8(url), 1, form);
  }

  // A page's event stream over a bare socket: the first `want` bytes.
  int open_event_stream() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    const std::string site = server_->site_address();
    address.sin_port =
        htons(static_cast<std::uint16_t>(std::stoi(site.substr(site.rfind(':') + 1))));
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string request = "GET /api/events HTTP/1.1\r\nHost: x\r\n\r\n";
    EXPECT_EQ(send(fd, request.data(), request.size(), 0), static_cast<ssize_t>(request.size()));
    return fd;
  }
  static std::string read_until(int fd, const std::string& marker) {
    std::string got;
    char buffer[4096];
    while (got.find(marker) == std::string::npos) {
      const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
  }

  std::unique_ptr<DemoServer> server_;
};

TEST_F(DemoServerTest, LookupOverVerifiedHttpsBindsToTheSite) {
  const Text answer =
      get(server_->directory_address() + lookup_target(server_->server_number(), "7"));
  const DirectoryAnswer decoded = decode_directory_answer(answer);
  EXPECT_TRUE(decoded.accepted());
  EXPECT_EQ(to_utf8(decoded.site_address), server_->site_address());
}

TEST_F(DemoServerTest, ToolLookupDoesWhatTheJoinButtonDoes) {
  tool::Io found, unknown, unreachable;
  EXPECT_EQ(tool::run({"lookup", "8866", "--directory", server_->directory_address()}, found), 0);
  EXPECT_EQ(found.output, server_->site_address() + "\n");
  EXPECT_EQ(tool::run({"lookup", "1", "--directory", server_->directory_address()}, unknown), 1);
  EXPECT_EQ(unknown.error, "服务器编号不存在，请核对后重新输入\n");
  EXPECT_EQ(tool::run({"lookup", "8866", "--directory", "https://127.0.0.1:1"}, unreachable), 1);
  EXPECT_EQ(unreachable.error, "711 发送请求失败!\n");
}

TEST_F(DemoServerTest, MalformedLookupsAreRefusedNotFatal) {
  std::string status;
  const std::string huge =
      server_->directory_address() + "/api/domaincheckid?data=7:@|" + std::string(1 << 20, 'Q');
  static_cast<void>(get(huge, &status));
  EXPECT_GE(std::atoi(status.c_str()), 400) << status;
  const std::string refusal = get(server_->directory_address() + "/api/domaincheckid?data=x");
  EXPECT_NE(refusal.find(":@|"), std::string::npos);
  // Still serving.
  EXPECT_NE(get(server_->directory_address() + lookup_target("8866", "5")).find(":@|"),
            std::string::npos);
}

TEST_F(DemoServerTest, ConsoleAtAnyLoginPathCountsPageLoads) {
  EXPECT_NE(get(server_->site_address() + "/service/login").find("window.vueapp"),
            std::string::npos);
  EXPECT_NE(get(server_->site_address() + "/custom/agent").find("sendInputingStrNowPc"),
            std::string::npos);
  std::string status;
  static_cast<void>(get(server_->site_address() + "/favicon.ico", &status));
  EXPECT_EQ(status.substr(0, 3), "404");
  EXPECT_EQ(get(server_->site_address() + "/control/page-loads"), "{\"count\":2,\"listening\":0}");
}

TEST_F(DemoServerTest, LoginIsKeptInACookieAndComesBackToThePath) {
  start(true);
  const std::string site = server_->site_address();
  const std::string page = get(site + "/custom/a%22%3Cb%3E");
  EXPECT_NE(page.find("id=\"login\""), std::string::npos);
  EXPECT_EQ(page.find("\"<b>"), std::string::npos) << "the path is escaped";
  Text received;
  Text location;
  static_cast<void>(http::http_request(from_utf8(site + "/api/login"), 1,
                                       "name=a&back=%2Fcustom%2Fagent", nullptr, &received, {},
                                       nullptr, true, {}, {}, {}, {}, {}, 5, &location));
  EXPECT_NE(to_utf8(received).find("quorvel_demo_session="), std::string::npos);
  EXPECT_EQ(to_utf8(location), "/custom/agent");
  Text cookies = received;
  const Text console =
      http::http_request(from_utf8(site + "/custom/agent"), 0, {}, &cookies);
  EXPECT_NE(to_utf8(console).find("window.vueapp"), std::string::npos);
  EXPECT_EQ(get(site + "/control/page-loads"), "{\"count\":1,\"listening\":0}");
}

TEST_F(DemoServerTest, RepliesAreRecordedExactly) {
  const std::string text = "好的 'quoted' \"double\" back\\slash 😀";
  EXPECT_EQ(post(server_->site_address() + "/api/reply",
                 "text=" + form_encode(text) + "&fromId=v1001&bossId=9001"),
            "{\"ok\":true}");
  EXPECT_EQ(post(server_->site_address() + "/api/reply", "text=&fromId=v1002&bossId=9001"),
            "{\"ok\":true}");
  EXPECT_EQ(get(server_->site_address() + "/control/replies"),
            "[{\"text\":" + json_quote(text) +
                ",\"fromId\":\"v1001\",\"bossId\":\"9001\"},"
                "{\"text\":\"\",\"fromId\":\"v1002\",\"bossId\":\"9001\"}]");
  ASSERT_EQ(server_->site().replies().size(), 2u);
  EXPECT_EQ(server_->site().replies()[0].text, text);
}

TEST_F(DemoServerTest, ControlsReachAnOpenPage) {
  const int fd = open_event_stream();
  static_cast<void>(read_until(fd, "\r\n\r\n"));
  EXPECT_EQ(post(server_->site_address() + "/control/visitor-message",
                 "from=v7&nick=" + form_encode("测试访客") + "&text=" + form_encode("在吗？")),
            "{\"ok\":true}");
  post(server_->site_address() + "/control/unread", "count=5");
  post(server_->site_address() + "/control/log", "text=" + form_encode("settitle=>T"));
  const std::string stream = read_until(fd, "settitle=>T");
  close(fd);
  EXPECT_NE(stream.find("event: message"), std::string::npos);
  EXPECT_NE(stream.find("\"payload\":\"{\\\"T\\\":\\\"msg\\\""), std::string::npos);
  EXPECT_NE(stream.find("event: unread\ndata: {\"unread\":5}"), std::string::npos);
  EXPECT_EQ(server_->site().unread(), 5);
}

TEST_F(DemoServerTest, PagesThatGoAwayFreeTheServer) {
  // More abandoned streams than the server has workers.
  for (int round = 0; round < 40; ++round) {
    const int fd = open_event_stream();
    static_cast<void>(read_until(fd, "\r\n\r\n"));
    close(fd);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_NE(get(server_->site_address() + "/api/state").find("\"conversations\""),
            std::string::npos);
  // Counted out as listeners, while one still open counts.
  const int open = open_event_stream();
  static_cast<void>(read_until(open, "\r\n\r\n"));
  EXPECT_NE(get(server_->site_address() + "/control/page-loads").find("\"listening\":1}"),
            std::string::npos);
  close(open);
  server_->stop();  // returns although streams were cut mid-way
}

}  // namespace
}  // namespace quorvel::demo
