// Keeps the console usable all day: a web process that crashed, was killed
// or hung is recovered; a site that cannot be reached, or whose certificate
// was not accepted, gets a page of the client's own that says so, retries
// with a growing pause, at once when the network comes back or the machine
// wakes, and gives the console back as soon as the site answers. While the
// console shows, everything passes to the page bridge unchanged.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string_view>

#include "app/event_log.h"
#include "app/services.h"
#include "app/web_view.h"

namespace quorvel::app {

class ConsoleGuard final : public PageEvents {
 public:
  // What shows in the view.
  enum class Shows { Console, Unreachable, Crashed, Trust };

  // Recoveries by a plain reload: at most this many in the window; beyond
  // that the crashed page, retried every kCrashedRetryMs.
  static constexpr int kQuickRecoveries = 3;
  static constexpr std::int64_t kQuickWindowMs = 5 * 60 * 1000;
  static constexpr std::int64_t kCrashedRetryMs = 60 * 1000;
  // The unreachable site: 5 s, then twice as long each time, at most 5 min.
  static constexpr std::int64_t kFirstRetryMs = 5000;
  static constexpr std::int64_t kLongestRetryMs = 5 * 60 * 1000;
  // A page that does not answer this long has its process ended.
  static constexpr std::int64_t kUnresponsiveMs = 15000;

  // `trusted` stores a certificate the agent trusted (host, fingerprint).
  ConsoleGuard(WebView& view, PageEvents& console, Clock& clock, EventLog& log,
               std::function<void(const Text&, const Text&)> trusted);

  // The console's address, about to be opened: its origin is the site's.
  void watch(std::string_view console_url);
  // Hosts whose pages stay in the view (the key `inview`).
  void set_in_view_hosts(std::string_view hosts) { policy_.set_in_view_hosts(hosts); }
  // Where the agent's keys in the page, and the search's results, go.
  void set_commands(std::function<void(ViewCommand, std::string_view)> commands,
                    std::function<void(int)> find_results) {
    commands_ = std::move(commands);
    find_results_ = std::move(find_results);
  }
  // Who decides what the site may use, and shows what it notifies.
  void set_site_services(std::function<bool(const PermissionRequest&)> permissions,
                         std::function<void(const PageNotification&)> notifications) {
    permissions_ = std::move(permissions);
    notifications_ = std::move(notifications);
  }
  // Where the engine's download news goes.
  void set_downloads(std::function<void(const DownloadEvent&)> downloads) {
    downloads_ = std::move(downloads);
  }
  // Where an address the page asks for goes when it is for the desktop.
  void set_desktop(std::function<bool(std::string_view)> open) { open_on_desktop_ = std::move(open); }

  // Every second, from the main window's timer.
  void tick();
  void network_changed();
  void resumed();

  [[nodiscard]] Shows shows() const { return shows_; }
  // When the next automatic retry is due (the clock's milliseconds).
  [[nodiscard]] std::int64_t next_retry_at() const { return next_retry_at_; }

  void page_loaded(std::string_view address) override;
  void console_message(std::string_view text) override;
  void document_committed(const DocumentCommit& commit) override;
  void load_failed(const LoadFailure& failure) override;
  void process_event(ProcessEvent event, std::string_view reason) override;
  void certificate_failed(const CertificateFailure& failure) override;
  [[nodiscard]] NavigationAnswer navigation_requested(const NavigationRequest& request) override;
  void download(const DownloadEvent& event) override {
    if (downloads_) downloads_(event);
  }
  void command(ViewCommand command, std::string_view address) override {
    if (commands_) commands_(command, address);
  }
  void find_result(int matches) override {
    if (find_results_) find_results_(matches);
  }
  [[nodiscard]] bool permission_requested(const PermissionRequest& request) override;
  void page_notification(const PageNotification& notification) override;

 private:
  // What the main frame holds: the guard decides by the document the
  // engine committed, never by the address a finished load names (a load
  // that failed ends naming the document it failed to replace).
  // Page: a document of the site's (the console); Foreign: one of another
  // site that may stay in the view (the identity provider's sign-in), whose
  // messages drive nothing.
  enum class Document { None, Own, Page, Foreign };

  void retry(std::string_view why);
  void failed(const LoadFailure& failure);
  void act(std::string_view action);
  void show(Shows what);
  void log(std::string_view what_utf8, std::string_view detail = {});

  WebView& view_;
  PageEvents& console_;
  Clock& clock_;
  EventLog& log_;
  std::function<void(const Text&, const Text&)> trusted_;
  std::function<bool(std::string_view)> open_on_desktop_;
  std::function<void(const DownloadEvent&)> downloads_;
  std::function<void(ViewCommand, std::string_view)> commands_;
  std::function<void(int)> find_results_;
  std::function<bool(const PermissionRequest&)> permissions_;
  std::function<void(const PageNotification&)> notifications_;
  NavigationPolicy policy_;
  Text console_url_;
  Text retry_url_;  // the failed address when it is the site's, else the console
  Text nonce_;
  Shows shows_ = Shows::Console;
  Document document_ = Document::None;
  bool failed_since_commit_ = false;
  bool coming_back_ = false;  // the console committed after one of the client's pages
  std::deque<std::int64_t> recoveries_;  // when the recent quick ones were
  ProcessEvent crash_cause_ = ProcessEvent::Crashed;
  LoadFailure failure_;
  CertificateFailure certificate_;
  int failed_attempts_ = 0;
  bool retrying_ = false;  // a retry's load has neither failed nor finished
  std::int64_t next_retry_at_ = 0;
  std::int64_t unresponsive_since_ = 0;
};

}  // namespace quorvel::app
