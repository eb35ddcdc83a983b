// The demo chat site's state: conversations with visitors, the agent's
// replies, the unread count, and the events pushed to open console pages.
// Thread-safe: the HTTP handlers, the visitor simulator and the control
// interface all use one instance. Texts are UTF-8.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace quorvel::demo {

struct VisitorMessage {
  std::string from_id;
  std::string nick;
  std::string text;
};

struct Reply {
  std::string text;
  std::string from_id;
  std::string boss_id;
};

// One server-sent event for the console page: its name and JSON data.
struct PageEvent {
  std::uint64_t id = 0;
  std::string name;
  std::string data;
};

// JSON string literal of a UTF-8 text.
[[nodiscard]] std::string json_quote(std::string_view utf8);

class ChatSite {
 public:
  struct Agent {
    std::string boss_id = "9001";
    std::string boss_name = "演示客服";
    std::string agent_name = "小王";
  };

  ChatSite();
  explicit ChatSite(Agent agent);

  [[nodiscard]] const Agent& agent() const { return agent_; }

  // A visitor's message: kept in its conversation, counted unread, and
  // pushed to the pages with its notice payload.
  void visitor_message(const VisitorMessage& message);
  // The agent's answer, as the page posts it.
  void record_reply(const Reply& reply);
  // The agent opened a conversation: its messages are read.
  void mark_read(const std::string& from_id);
  // Tests: the unread count the page reports, and any console text.
  void set_unread(int count);
  // The page logs the text `repeat` times, `per_second` times a second.
  void page_log(const std::string& text, int repeat = 1, int per_second = 1);
  void count_page_load();
  // Every open page runs a script that never ends (a hung page).
  void hang_pages();
  // Every open page goes to `url` (reloads itself when empty) after `ms`.
  void navigate_pages(const std::string& url, int ms);
  // Every open page offers something to click that opens `url` (`how`:
  // link, blank or window), or shows it in a frame.
  void offer_click(const std::string& url, const std::string& how);
  void show_frame(const std::string& url);
  // Every open page asks for notifications and the microphone, or shows a
  // notification.
  void ask_permissions();
  void notify_pages(const std::string& title, const std::string& body);
  void record_permission(const std::string& what, const std::string& answer);
  [[nodiscard]] std::vector<std::string> permissions() const;
  // A key the page saw (Escape), for tests of where keys go.
  void record_key(const std::string& key);
  [[nodiscard]] std::vector<std::string> keys() const;
  // When the last page finished loading and painted its first frame.
  void record_timing(const std::string& load_ms, const std::string& paint_ms,
                     const std::string& view = {});
  // When the page last handed a visitor message to the console, for the
  // notice latency benchmark.
  void record_console_time(const std::string& ms);
  [[nodiscard]] std::string timing_json() const;

  [[nodiscard]] std::vector<Reply> replies() const;
  [[nodiscard]] int page_loads() const;
  [[nodiscard]] int unread() const;
  // Everything a freshly loaded page shows, as JSON.
  [[nodiscard]] std::string state_json() const;
  // The notice payload for a message: T, and D with the ids in clear and
  // the names and the text enciphered with the account id as key text.
  [[nodiscard]] std::string notice_payload(const VisitorMessage& message) const;

  // The id after the last event so far: where a new page starts listening.
  [[nodiscard]] std::uint64_t event_cursor() const;
  // Events after `cursor`, waiting up to `wait` for the first; the cursor
  // moves past what is returned.
  [[nodiscard]] std::vector<PageEvent> wait_events(std::uint64_t& cursor,
                                                   std::chrono::milliseconds wait);

 private:
  struct Line {
    bool from_agent;
    std::string text;
    std::string time;
  };
  struct Conversation {
    std::string nick;
    std::vector<Line> lines;
    int unread = 0;
  };

  void push_event(std::string name, std::string data);  // mutex held
  [[nodiscard]] int unread_locked() const;

  Agent agent_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::string, Conversation> conversations_;
  std::vector<Reply> replies_;
  std::vector<std::string> keys_;
  std::deque<PageEvent> events_;  // the most recent ones only
  std::uint64_t next_event_id_ = 1;
  int extra_unread_ = 0;
  int page_loads_ = 0;
  std::string load_ms_, paint_ms_, console_ms_, view_;
  std::vector<std::string> permissions_;  // "what answer", in order
  int loads_at_timing_ = 0;
};

}  // namespace quorvel::demo
