#include "demo/demo_server.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <mutex>
#include <random>
#include <set>

#include "demo/directory_service.h"

namespace quorvel::embedded {
extern const unsigned char demo_console_html[];
extern const std::size_t demo_console_html_size;
extern const unsigned char demo_picture[];
extern const std::size_t demo_picture_size;
}  // namespace quorvel::embedded

namespace quorvel::demo {
namespace {

// Every open console page holds one worker for its event stream.
constexpr std::size_t kWorkers = 32;

const char* const kJson = "application/json; charset=utf-8";

std::string console_page() {
  return std::string(reinterpret_cast<const char*>(embedded::demo_console_html),
                     embedded::demo_console_html_size);
}

std::string event_stream_text(const std::vector<PageEvent>& events) {
  // A beat with every write (at least one a second) shows the server
  // whether the page is still there, and the page whether its stream is.
  std::string out;
  for (const PageEvent& event : events) {
    out += "id: " + std::to_string(event.id) + "\nevent: " + event.name + "\ndata: " + event.data +
           "\n\n";
  }
  return out + "event: beat\ndata: {}\n\n";
}

// A whole number in [1, limit]; anything else gives 1.
int count_param(const httplib::Request& req, const char* name, int limit) {
  const std::string text = req.get_param_value(name);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1) return 1;
  return value < limit ? value : limit;
}

// Workers for the event streams, and a port of its own: the library's
// default shares a port with any process that asks (SO_REUSEPORT), so a
// forgotten demo site would silently answer in place of this one.
void prepare(httplib::Server& server) {
  server.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
  server.set_socket_options([](socket_t sock) {
    const int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
}

struct VisitorScript {
  const char* from_id;
  const char* nick;
};

constexpr VisitorScript kVisitors[] = {
    {"v1001", "北京访客"}, {"v1002", "上海访客"}, {"v1003", "广州访客"}};

constexpr const char* kVisitorTexts[] = {
    "你好，在吗？",
    "我想咨询一下价格，有优惠吗？",
    "订单已经付款了，什么时候发货？",
    "请问可以开增值税专用发票吗？",
    "客服你好，登录的时候提示密码错误 😥",
    "好的，谢谢！👍",
    "能发一下安装说明吗？",
    "我们公司有二十个客服，需要买几个账号？",
};

}  // namespace

struct DemoServer::Servers {
  std::unique_ptr<httplib::SSLServer> directory;
  std::unique_ptr<httplib::Server> site;
  std::unique_ptr<DirectoryService> service;
  std::mutex sessions_mutex;
  std::set<std::string> sessions;  // login cookies handed out
};

namespace {

constexpr const char* kSessionCookie = "quorvel_demo_session";

// The session cookie a request carries, or "".
std::string session_of(const httplib::Request& req) {
  const std::string cookies = req.get_header_value("Cookie");
  const std::string name = std::string(kSessionCookie) + "=";
  for (std::size_t at = cookies.find(name); at != std::string::npos;
       at = cookies.find(name, at + 1)) {
    if (at != 0 && cookies[at - 1] != ' ' && cookies[at - 1] != ';') continue;
    const std::size_t start = at + name.size();
    return cookies.substr(start, cookies.find(';', start) - start);
  }
  return {};
}

std::string new_token() {
  std::random_device source;
  static constexpr char kHex[] = "0123456789abcdef";
  std::string token;
  for (int i = 0; i < 32; ++i) token += kHex[source() % 16];
  return token;
}

std::string html_escape(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// The login page: the agent's name filled in, one button, which covers the
// middle of the page (tests click there).
std::string login_page(const std::string& back_to) {
  return R"(<!DOCTYPE html><html><head><meta charset="utf-8"><title>客服登录</title><style>
body{margin:0;font-family:sans-serif;background:#eef3ee;height:100vh;display:flex;
align-items:center;justify-content:center}
form{background:#fff;padding:30px 40px;border-radius:8px;text-align:center}
input{display:block;margin:8px auto;padding:6px;width:220px}
button{width:260px;height:120px;font-size:22px;background:#2f7d32;color:#fff;border:0;
border-radius:6px;cursor:pointer}</style></head><body>
<form method="post" action="/api/login"><h2>演示站点 客服登录</h2>
<input name="name" value="小王"><input name="password" type="password" value="demo">
<input type="hidden" name="back" value=")" +
         html_escape(back_to) + R"("><button id="login" type="submit" autofocus>登录</button></form>
<script>console.log('settitle=>Quorvel在线客服 - 客服登录')</script></body></html>)";
}

}  // namespace

DemoServer::DemoServer(DemoOptions options) : options_(std::move(options)) {}

DemoServer::~DemoServer() {
  stop();
}

std::string DemoServer::directory_address() const {
  return "https://127.0.0.1:" + std::to_string(directory_port_);
}

std::string DemoServer::site_address() const {
  return std::string(options_.site_certificate_file.empty() ? "http" : "https") +
         "://127.0.0.1:" + std::to_string(site_port_);
}

bool DemoServer::open_site(std::string& error) {
  Servers& s = *servers_;
  if (options_.site_certificate_file.empty()) {
    s.site = std::make_unique<httplib::Server>();
  } else {
    auto tls = std::make_unique<httplib::SSLServer>(options_.site_certificate_file.c_str(),
                                                    options_.site_key_file.c_str());
    if (!tls->is_valid()) {
      error = "cannot read the site's certificate " + options_.site_certificate_file;
      return false;
    }
    s.site = std::move(tls);
  }
  prepare(*s.site);
  // A slow site answers every request late (the control interface at once).
  s.site->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
    const int delay = slow_ms_;
    if (delay > 0 && req.path.rfind("/control/", 0) != 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  route_site_api();
  route_site_control();
  route_files();
  route_console();
  const int wanted = site_port_ > 0 ? site_port_ : options_.site_port;
  site_port_ = wanted == 0 ? s.site->bind_to_any_port("127.0.0.1")
                           : (s.site->bind_to_port("127.0.0.1", wanted) ? wanted : -1);
  if (site_port_ <= 0) {
    error = "port " + std::to_string(wanted) + " on 127.0.0.1 is taken";
    return false;
  }
  httplib::Server* site = s.site.get();
  site_thread_ = std::thread([site] { site->listen_after_bind(); });
  while (!site->is_running()) std::this_thread::yield();
  return true;
}

bool DemoServer::start(std::string& error) {
  servers_ = std::make_unique<Servers>();
  Servers& s = *servers_;
  s.directory = std::make_unique<httplib::SSLServer>(options_.certificate_file.c_str(),
                                                     options_.key_file.c_str());
  if (!s.directory->is_valid()) {
    error = "cannot read the certificate " + options_.certificate_file + " or its key";
    return false;
  }
  prepare(*s.directory);
  directory_port_ = options_.directory_port == 0
                        ? s.directory->bind_to_any_port("127.0.0.1")
                        : (s.directory->bind_to_port("127.0.0.1", options_.directory_port)
                               ? options_.directory_port
                               : -1);
  if (directory_port_ <= 0) {
    error = "port " + std::to_string(options_.directory_port) + " on 127.0.0.1 is taken";
    return false;
  }
  if (!open_site(error)) return false;
  s.service = std::make_unique<DirectoryService>(options_.server_number, site_address());

  // The directory: the raw target, since the query value is not URL-encoded.
  s.directory->Get(".*", [&s](const httplib::Request& req, httplib::Response& res) {
    const DirectoryReply reply = s.service->answer(req.target);
    res.status = reply.status;
    res.set_content(reply.body, "text/plain; charset=utf-8");
  });
  directory_thread_ = std::thread([&s] { s.directory->listen_after_bind(); });
  if (options_.visitors) visitor_thread_ = std::thread([this] { simulate_visitors(); });
  while (!s.directory->is_running()) std::this_thread::yield();
  return true;
}

// The console page's own calls.
void DemoServer::route_site_api() {
  httplib::Server& site = *servers_->site;
  site.Get("/api/state", [this](const httplib::Request&, httplib::Response& res) {
    res.set_content(site_.state_json(), kJson);
  });
  site.Get("/api/events", [this](const httplib::Request&, httplib::Response& res) {
    auto cursor = std::make_shared<std::uint64_t>(site_.event_cursor());
    const int generation = site_generation_;
    res.set_header("Cache-Control", "no-cache");
    ++listening_;
    res.set_chunked_content_provider(
        "text/event-stream",
        [this, cursor, generation](std::size_t, httplib::DataSink& sink) {
          if (stopping_ || generation != site_generation_) return false;
          const std::string text =
              event_stream_text(site_.wait_events(*cursor, std::chrono::seconds(1)));
          // False once the page has gone, or the server with it: the
          // worker is free again.
          return !stopping_ && generation == site_generation_ && sink.write(text.data(), text.size());
        },
        [this](bool) { --listening_; });
  });
  site.Post("/api/reply", [this](const httplib::Request& req, httplib::Response& res) {
    site_.record_reply({req.get_param_value("text"), req.get_param_value("fromId"),
                        req.get_param_value("bossId")});
    res.set_content("{\"ok\":true}", kJson);
  });
  site.Post("/api/timing", [this](const httplib::Request& req, httplib::Response& res) {
    if (req.has_param("console")) {
      site_.record_console_time(req.get_param_value("console"));
    } else {
      site_.record_timing(req.get_param_value("load"), req.get_param_value("paint"),
                          req.get_param_value("view"));
    }
    res.set_content("{\"ok\":true}", kJson);
  });
  site.Post("/api/permission", [this](const httplib::Request& req, httplib::Response& res) {
    site_.record_permission(req.get_param_value("what"), req.get_param_value("answer"));
    res.set_content("{\"ok\":true}", kJson);
  });
  site.Post("/api/key", [this](const httplib::Request& req, httplib::Response& res) {
    site_.record_key(req.get_param_value("key"));
    res.set_content("{\"ok\":true}", kJson);
  });
  site.Post("/api/read", [this](const httplib::Request& req, httplib::Response& res) {
    site_.mark_read(req.get_param_value("fromId"));
    res.set_content("{\"unread\":" + std::to_string(site_.unread()) + "}", kJson);
  });
  // The login: a session cookie for 30 days, then back to the console.
  site.Post("/api/login", [this](const httplib::Request& req, httplib::Response& res) {
    const std::string token = new_token();
    {
      const std::lock_guard<std::mutex> lock(servers_->sessions_mutex);
      servers_->sessions.insert(token);
    }
    res.set_header("Set-Cookie", std::string(kSessionCookie) + "=" + token +
                                     "; Max-Age=2592000; Path=/; HttpOnly; SameSite=Lax");
    const std::string back = req.get_param_value("back");
    res.set_redirect(back.rfind('/', 0) == 0 ? back : "/service/login", 303);
  });
}

// The control interface for tests (see docs/demo-site.md).
void DemoServer::route_site_control() {
  httplib::Server& site = *servers_->site;
  site.Post("/control/visitor-message",
            [this](const httplib::Request& req, httplib::Response& res) {
              site_.visitor_message({req.get_param_value("from"), req.get_param_value("nick"),
                                     req.get_param_value("text")});
              res.set_content("{\"ok\":true}", kJson);
            });
  site.Post("/control/unread", [this](const httplib::Request& req, httplib::Response& res) {
    site_.set_unread(std::atoi(req.get_param_value("count").c_str()));
    res.set_content("{\"ok\":true}", kJson);
  });
  site.Post("/control/log", [this](const httplib::Request& req, httplib::Response& res) {
    site_.page_log(req.get_param_value("text"), count_param(req, "repeat", 10'000'000),
                   count_param(req, "perSecond", 1'000'000));
    res.set_content("{\"ok\":true}", kJson);
  });
  site.Post("/control/hang", [this](const httplib::Request&, httplib::Response& res) {
    site_.hang_pages();
    res.set_content("{\"ok\":true}", kJson);
  });
  site.Post("/control/navigate", [this](const httplib::Request& req, httplib::Response& res) {
    site_.navigate_pages(req.get_param_value("url"), count_param(req, "ms", 3'600'000));
    res.set_content("{\"ok\":true}", kJson);
  });
  site.Post("/control/open", [this](const httplib::Request& req, httplib::Response& res) {
    site_.offer_click(req.get_param_value("url"), req.get_param_value("how"));
    res.set_content("{\"ok\":true}", kJson);
  });
  site.Post("/control/ask", [this](const httplib::Request&, httplib::Response& res) {
    site_.ask_permissions();
    res.set_content("{\"ok\":true}", kJson);
  });
  site.Post("/control/notify", [this](const httplib::Request& req, httplib::Response& res) {
    site_.notify_pages(req.get_param_value("title"), req.get_param_value("body"));
    res.set_content("{\"ok\":true}", kJson);
  });
  site.Get("/control/permissions", [this](const httplib::Request&, httplib::Response& res) {
    std::string out = "[";
    for (const std::string& p : site_.permissions()) {
      if (out.size() > 1) out += ',';
      out += json_quote(p);
    }
    res.set_content(out + "]", kJson);
  });
  site.Post("/control/frame", [this](const httplib::Request& req, httplib::Response& res) {
    site_.show_frame(req.get_param_value("url"));
    res.set_content("{\"ok\":true}", kJson);
  });
  site.Post("/control/down", [this](const httplib::Request& req, httplib::Response& res) {
    go_down(std::chrono::seconds(count_param(req, "seconds", 3600)));
    res.set_content("{\"ok\":true}", kJson);
  });
  site.Post("/control/slow", [this](const httplib::Request& req, httplib::Response& res) {
    slow_ms_ = std::atoi(req.get_param_value("ms").c_str());
    res.set_content("{\"ok\":true}", kJson);
  });
  site.Get("/control/replies", [this](const httplib::Request&, httplib::Response& res) {
    std::string out = "[";
    for (const Reply& r : site_.replies()) {
      if (out.size() > 1) out += ',';
      out += "{\"text\":" + json_quote(r.text) + ",\"fromId\":" + json_quote(r.from_id) +
             ",\"bossId\":" + json_quote(r.boss_id) + "}";
    }
    res.set_content(out + "]", kJson);
  });
  site.Get("/control/keys", [this](const httplib::Request&, httplib::Response& res) {
    std::string out = "[";
    for (const std::string& key : site_.keys()) {
      if (out.size() > 1) out += ',';
      out += json_quote(key);
    }
    res.set_content(out + "]", kJson);
  });
  site.Get("/control/page-loads", [this](const httplib::Request&, httplib::Response& res) {
    res.set_content("{\"count\":" + std::to_string(site_.page_loads()) +
                        ",\"listening\":" + std::to_string(listening_.load()) + "}",
                    kJson);
  });
  site.Get("/control/timing", [this](const httplib::Request&, httplib::Response& res) {
    res.set_content(site_.timing_json(), kJson);
  });
}

// Files the site hands over: /files/NAME (a few kilobytes, saved under
// NAME) and /control/file?mb=N (N MiB, for the download benchmark).
void DemoServer::route_files() {
  httplib::Server& site = *servers_->site;
  const auto attachment = [](const std::string& name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : name) {
      const auto b = static_cast<unsigned char>(c);
      if (std::isalnum(b) != 0 || c == '.' || c == '-' || c == '_') {
        encoded += c;
      } else {
        encoded += '%';
        encoded += kHex[b >> 4];
        encoded += kHex[b & 0xF];
      }
    }
    return "attachment; filename*=UTF-8''" + encoded;
  };
  const auto count = [this](const std::string& path) {
    const std::lock_guard<std::mutex> lock(files_mutex_);
    ++file_requests_[path];
  };
  site.Get("/files/(.+)", [attachment, count](const httplib::Request& req, httplib::Response& res) {
    count(req.path);
    const std::string name = req.matches[1];
    std::string body;
    while (body.size() < 4096) body += "Quorvel demo file: " + name + "\n";
    res.set_header("Content-Disposition", attachment(name));
    res.set_content(body, "application/octet-stream");
  });
  site.Get("/control/file", [attachment, count](const httplib::Request& req, httplib::Response& res) {
    count(req.path);
    const std::size_t mib = static_cast<std::size_t>(count_param(req, "mb", 1 << 20));
    res.set_header("Content-Disposition", attachment("demo-" + std::to_string(mib) + "-MiB.bin"));
    res.set_content_provider(mib << 20, "application/octet-stream",
                             [](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                               static const std::string block(1 << 16, 'q');
                               const std::size_t n = std::min(length, block.size());
                               sink.write(block.data(), n);
                               static_cast<void>(offset);
                               return true;
                             });
  });
  // A picture a visitor sends, shown in the conversation.
  site.Get("/images/quorvel.png", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(reinterpret_cast<const char*>(embedded::demo_picture), embedded::demo_picture_size,
                    "image/png");
  });
  site.Get("/control/file-requests", [this](const httplib::Request&, httplib::Response& res) {
    const std::lock_guard<std::mutex> lock(files_mutex_);
    std::string out = "{";
    for (const auto& [path, n] : file_requests_) {
      if (out.size() > 1) out += ',';
      out += json_quote(path) + ":" + std::to_string(n);
    }
    res.set_content(out + "}", kJson);
  });
}

// The console at /service/login and at any other login path, behind the
// login when the site asks for one.
void DemoServer::route_console() {
  httplib::Server& site = *servers_->site;
  site.Get("/favicon.ico",
           [](const httplib::Request&, httplib::Response& res) { res.status = 404; });
  site.Get("/.*", [this](const httplib::Request& req, httplib::Response& res) {
    if (req.path.rfind("/api/", 0) == 0 || req.path.rfind("/control/", 0) == 0) {
      res.status = 404;
      return;
    }
    res.set_header("Cache-Control", "no-store");
    bool logged_in = !options_.login;
    if (!logged_in) {
      const std::lock_guard<std::mutex> lock(servers_->sessions_mutex);
      logged_in = servers_->sessions.count(session_of(req)) != 0;
    }
    if (!logged_in) {
      res.set_content(login_page(req.path), "text/html; charset=utf-8");
      return;
    }
    site_.count_page_load();
    res.set_content(console_page(), "text/html; charset=utf-8");
  });
}

void DemoServer::go_down(std::chrono::seconds how_long) {
  const std::lock_guard<std::mutex> lock(down_mutex_);
  if (site_down_) return;
  if (down_thread_.joinable()) down_thread_.join();  // the last outage, over
  site_down_ = true;
  down_thread_ = std::thread([this, how_long] {
    // The control request's own answer goes out first.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ++site_generation_;
    servers_->site->stop();
    site_thread_.join();  // every connection's worker is done
    if (options_.on_site_state) options_.on_site_state(false);
    const auto back = std::chrono::steady_clock::now() + how_long;
    while (!stopping_ && std::chrono::steady_clock::now() < back) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (stopping_) return;
    std::string error;
    if (!open_site(error)) {
      std::fprintf(stderr, "quorvel-demo-site: %s\n", error.c_str());
    } else if (options_.on_site_state) {
      options_.on_site_state(true);
    }
    site_down_ = false;
  });
}

void DemoServer::stop() {
  if (!servers_ || stopping_.exchange(true)) return;
  if (down_thread_.joinable()) down_thread_.join();
  if (servers_->site) servers_->site->stop();
  if (servers_->directory) servers_->directory->stop();
  for (std::thread* t : {&directory_thread_, &site_thread_, &visitor_thread_}) {
    if (t->joinable()) t->join();
  }
}

void DemoServer::simulate_visitors() {
  std::mt19937 random{std::random_device{}()};
  const auto period =
      std::chrono::duration_cast<std::chrono::milliseconds>(options_.visitor_period);
  std::uniform_int_distribution<long> wait(period.count() / 2, period.count() * 3 / 2);
  while (!stopping_) {
    const auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait(random));
    while (!stopping_ && std::chrono::steady_clock::now() < due) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (stopping_) return;
    const VisitorScript& visitor = kVisitors[random() % std::size(kVisitors)];
    site_.visitor_message(
        {visitor.from_id, visitor.nick, kVisitorTexts[random() % std::size(kVisitorTexts)]});
  }
}

}  // namespace quorvel::demo
