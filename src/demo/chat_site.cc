#include "demo/chat_site.h"

#include <ctime>

#include "base/text.h"
#include "binding/payload_cipher.h"

namespace quorvel::demo {
namespace {

// Pages that reconnect see only new events; a few hundred are kept so that
// a slow page catches up after a burst.
constexpr std::size_t kKeptEvents = 256;

std::string clock_text() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buffer[8];
  std::strftime(buffer, sizeof buffer, "%H:%M", &local);
  return buffer;
}

std::string enciphered(std::string_view utf8, std::string_view key) {
  return to_utf8(encipher_payload(from_utf8(utf8), from_utf8(key)));
}

}  // namespace

std::string json_quote(std::string_view utf8) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (const char c : utf8) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (b < 0x20) {
      out += "\\u00";
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

ChatSite::ChatSite() : ChatSite(Agent{}) {}

ChatSite::ChatSite(Agent agent) : agent_(std::move(agent)) {
  // A little history, so that the console does not open empty.
  conversations_["v1001"] = {"北京访客",
                             {{false, "你好，请问你们的产品支持私有化部署吗？", "09:12"},
                              {true, "您好，支持的，可以部署在您自己的服务器上。", "09:13"}},
                             0};
  conversations_["v1002"] = {"上海访客",
                             {{false, "发票什么时候可以开？", "09:40"},
                              {true, "付款后三个工作日内开出，请留意邮箱。", "09:41"}},
                             0};
  // What visitors send besides words: a link to another site, a mail
  // address, a picture and a file.
  conversations_["v1003"] = {"广州访客",
                             {{false, "你们的说明在这里吗？https://example.com/guide", "10:02"},
                              {false, "有问题请发邮件 mailto:visitor@example.com", "10:03"},
                              {false, "[图片]/images/quorvel.png", "10:04"},
                              {false, "报价单：/files/报价单.pdf", "10:05"}},
                             0};
}

void ChatSite::push_event(std::string name, std::string data) {
  events_.push_back({next_event_id_++, std::move(name), std::move(data)});
  while (events_.size() > kKeptEvents) events_.pop_front();
  changed_.notify_all();
}

int ChatSite::unread_locked() const {
  int total = extra_unread_;
  for (const auto& [id, conversation] : conversations_) total += conversation.unread;
  return total;
}

std::string ChatSite::notice_payload(const VisitorMessage& m) const {
  const std::string& key = agent_.boss_id;
  return "{\"T\":\"msg\",\"D\":{\"FromId\":" + json_quote(m.from_id) +
         ",\"BossId\":" + json_quote(key) +
         ",\"BossName\":" + json_quote(enciphered(agent_.boss_name, key)) +
         ",\"Fnick\":" + json_quote(enciphered(m.nick, key)) +
         ",\"Content\":" + json_quote(enciphered(m.text, key)) + "}}";
}

void ChatSite::visitor_message(const VisitorMessage& m) {
  const std::string payload = notice_payload(m);
  const std::lock_guard<std::mutex> lock(mutex_);
  Conversation& conversation = conversations_[m.from_id];
  conversation.nick = m.nick;
  const std::string time = clock_text();
  conversation.lines.push_back({false, m.text, time});
  ++conversation.unread;
  push_event("message", "{\"fromId\":" + json_quote(m.from_id) + ",\"nick\":" + json_quote(m.nick) +
                            ",\"text\":" + json_quote(m.text) + ",\"time\":" + json_quote(time) +
                            ",\"unread\":" + std::to_string(unread_locked()) +
                            ",\"payload\":" + json_quote(payload) + "}");
}

void ChatSite::record_reply(const Reply& reply) {
  const std::lock_guard<std::mutex> lock(mutex_);
  replies_.push_back(reply);
  const std::string time = clock_text();
  conversations_[reply.from_id].lines.push_back({true, reply.text, time});
  push_event("reply", "{\"fromId\":" + json_quote(reply.from_id) + ",\"text\":" +
                          json_quote(reply.text) + ",\"time\":" + json_quote(time) + "}");
}

void ChatSite::mark_read(const std::string& from_id) {
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto found = conversations_.find(from_id);
  if (found == conversations_.end() || found->second.unread == 0) return;
  found->second.unread = 0;
  push_event("unread", "{\"unread\":" + std::to_string(unread_locked()) + "}");
}

void ChatSite::set_unread(int count) {
  const std::lock_guard<std::mutex> lock(mutex_);
  for (auto& [id, conversation] : conversations_) conversation.unread = 0;
  extra_unread_ = count;
  push_event("unread", "{\"unread\":" + std::to_string(count) + "}");
}

void ChatSite::page_log(const std::string& text, int repeat, int per_second) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (repeat <= 1) {
    push_event("log", "{\"text\":" + json_quote(text) + "}");
    return;
  }
  push_event("log", "{\"text\":" + json_quote(text) + ",\"repeat\":" + std::to_string(repeat) +
                        ",\"perSecond\":" + std::to_string(per_second) + "}");
}

void ChatSite::count_page_load() {
  const std::lock_guard<std::mutex> lock(mutex_);
  ++page_loads_;
}

void ChatSite::hang_pages() {
  const std::lock_guard<std::mutex> lock(mutex_);
  push_event("hang", "{}");
}

void ChatSite::navigate_pages(const std::string& url, int ms) {
  const std::lock_guard<std::mutex> lock(mutex_);
  push_event("navigate", "{\"url\":" + json_quote(url) + ",\"ms\":" + std::to_string(ms) + "}");
}

void ChatSite::offer_click(const std::string& url, const std::string& how) {
  const std::lock_guard<std::mutex> lock(mutex_);
  push_event("open", "{\"url\":" + json_quote(url) + ",\"how\":" + json_quote(how) + "}");
}

void ChatSite::show_frame(const std::string& url) {
  const std::lock_guard<std::mutex> lock(mutex_);
  push_event("frame", "{\"url\":" + json_quote(url) + "}");
}

void ChatSite::ask_permissions() {
  const std::lock_guard<std::mutex> lock(mutex_);
  push_event("ask", "{}");
}

void ChatSite::notify_pages(const std::string& title, const std::string& body) {
  const std::lock_guard<std::mutex> lock(mutex_);
  push_event("notify", "{\"title\":" + json_quote(title) + ",\"body\":" + json_quote(body) + "}");
}

void ChatSite::record_permission(const std::string& what, const std::string& answer) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (permissions_.size() < 1000) permissions_.push_back(what + " " + answer);
}

std::vector<std::string> ChatSite::permissions() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return permissions_;
}

void ChatSite::record_key(const std::string& key) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (keys_.size() < 1000) keys_.push_back(key);
}

std::vector<std::string> ChatSite::keys() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return keys_;
}

void ChatSite::record_timing(const std::string& load_ms, const std::string& paint_ms,
                             const std::string& view) {
  const std::lock_guard<std::mutex> lock(mutex_);
  load_ms_ = load_ms;
  paint_ms_ = paint_ms;
  view_ = view;
  loads_at_timing_ = page_loads_;
}

void ChatSite::record_console_time(const std::string& ms) {
  const std::lock_guard<std::mutex> lock(mutex_);
  console_ms_ = ms;
}

std::string ChatSite::timing_json() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  std::string json = "{";
  if (!paint_ms_.empty() || !load_ms_.empty()) {
    json += "\"load\":" + json_quote(load_ms_) + ",\"paint\":" + json_quote(paint_ms_) +
            ",\"view\":" + json_quote(view_) + ",\"loads\":" + std::to_string(loads_at_timing_);
  }
  if (!console_ms_.empty()) {
    json += std::string(json.size() > 1 ? "," : "") + "\"console\":" + json_quote(console_ms_);
  }
  return json + "}";
}

std::vector<Reply> ChatSite::replies() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return replies_;
}

int ChatSite::page_loads() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return page_loads_;
}

int ChatSite::unread() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return unread_locked();
}

std::string ChatSite::state_json() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  std::string out = "{\"agent\":" + json_quote(agent_.agent_name) +
                    ",\"bossId\":" + json_quote(agent_.boss_id) +
                    ",\"unread\":" + std::to_string(unread_locked()) + ",\"conversations\":[";
  bool first = true;
  for (const auto& [id, conversation] : conversations_) {
    if (!first) out += ',';
    first = false;
    out += "{\"fromId\":" + json_quote(id) + ",\"nick\":" + json_quote(conversation.nick) +
           ",\"unread\":" + std::to_string(conversation.unread) + ",\"lines\":[";
    for (std::size_t i = 0; i < conversation.lines.size(); ++i) {
      const Line& line = conversation.lines[i];
      if (i > 0) out += ',';
      out += "{\"agent\":" + std::string(line.from_agent ? "true" : "false") +
             ",\"text\":" + json_quote(line.text) + ",\"time\":" + json_quote(line.time) + "}";
    }
    out += "]}";
  }
  return out + "]}";
}

std::uint64_t ChatSite::event_cursor() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return next_event_id_ - 1;
}

std::vector<PageEvent> ChatSite::wait_events(std::uint64_t& cursor,
                                             std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, wait, [&] { return next_event_id_ - 1 > cursor; });
  std::vector<PageEvent> out;
  for (const PageEvent& event : events_) {
    if (event.id > cursor) out.push_back(event);
  }
  cursor = next_event_id_ - 1;
  return out;
}

}  // namespace quorvel::demo
