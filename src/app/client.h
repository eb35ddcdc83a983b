// The client's start and the handlers of its main and join windows and of
// the tray: everything the desktop program does between the window layer
// and the services, on the one user-interface thread.
#pragma once

#include "app/attention.h"
#include "app/console_guard.h"
#include "app/downloads.h"
#include "app/find_bar.h"
#include "app/permissions.h"
#include "app/event_log.h"
#include "app/notice.h"
#include "app/page_bridge.h"
#include "app/services.h"
#include "app/ui.h"
#include "app/web_view.h"
#include "data/json_document.h"

namespace quorvel::app {

struct ClientServices {
  Ui& ui;
  Settings& settings;
  app::WebView& view;
  Process& process;
  TimedMessageBox& timed_messages;
  Clock& clock;
  EventLog& log;
  HttpGet http_get;
  Text directory_address;
  // Where the web view keeps cookies and site storage.
  Text data_directory;
  // Sound, do-not-disturb and the session's start; none: no sound, never
  // quiet, no start with the session.
  Desktop* desktop = nullptr;
};

class Client final : public UiEvents {
 public:
  explicit Client(ClientServices services);
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  // Loads the stored binding and the first window, then the hidden notice
  // window; the platform's message loop runs afterwards.
  void start();
  // Started by the session's autostart entry: a bound client goes to the
  // tray (minimised when there is none) without waiting for the agent.
  void start(bool with_session);

  // Window events.
  void on_created(Form form) override;
  [[nodiscard]] bool on_close_request(Form form) override;
  void on_may_close(Form form) override;
  // The tray icon goes and the process ends at once; every setting was
  // written when it changed.
  void end_session() override;
  void on_moved(Form form) override;
  void on_resized(Form form) override;
  void on_focus(Form form) override;
  void on_timer(Form form, std::string_view control) override;
  void on_click(Form form, std::string_view control) override;
  void on_press(Form form, std::string_view control) override;
  void on_double_click(Form form, std::string_view control) override;
  void on_key(Form form, std::string_view control, int code) override;
  void on_tray(int kind) override;
  void on_menu(int item) override;
  void on_network_changed() override;
  void on_resumed() override;
  // Another start of the program asked for this one: the current window
  // (the join window when it is open, else the main window) comes forward.
  void bring_forward();

  [[nodiscard]] const Text& site_address() const { return site_address_; }
  [[nodiscard]] const Text& server_number() const { return server_number_; }
  [[nodiscard]] const Text& login_path() const { return login_path_; }
  [[nodiscard]] int unread_count() const { return unread_count_; }
  void set_unread_count(int count) { unread_count_ = count; }
  [[nodiscard]] int notice_countdown() const { return notice_.countdown(); }
  [[nodiscard]] const ConsoleGuard& guard() const { return guard_; }

 private:
  void create_main();
  void load_notice_window();
  void carry_out(ViewCommand command, std::string_view address);
  void notify(const PageNotification& notification);
  void zoom(int direction);
  void show_first_tray();
  void configure_engine();
  void place_main();
  void create_join();
  void join_server();
  void show_main();
  void exit_from_tray();
  void tray_blink();
  void start_screenshot_tool();
  // The tray icon's picture and tip, set only when either changes.
  void show_tray(TrayPicture picture, std::string_view tip);
  // Attention while messages wait unread and the tray shows.
  void update_tray_attention();
  [[nodiscard]] int key_int(std::string_view key);

  ClientServices s_;
  JsonDocument messages_;  // the most recent notice payload
  Notice notice_;
  Attention attention_;
  PageBridge bridge_;
  ConsoleGuard guard_;
  Downloads downloads_;
  FindBar find_bar_;
  Permissions permissions_;
  int zoom_ = 100;  // the page's zoom in percent (the key `zoom`)
  Text site_address_;
  Text server_number_;
  Text login_path_;
  int unread_count_ = 0;
  unsigned tick_counter_ = 0;
  // The screenshot tool's last start: a page that asks again and again
  // gets it at most once every 2 s, and not while it runs.
  TrayPicture tray_picture_ = TrayPicture::None;
  bool tray_attention_ = false;
  bool menu_checked_ = false;  // the tray and its menu's checks are set up
  Text tray_tip_;
  // The 退出 confirmation is open: a further 退出 brings it forward rather
  // than stacking another box (and another nested loop) on it.
  bool confirming_exit_ = false;
  std::int64_t screenshot_id_ = 0;
  std::int64_t screenshot_at_ = 0;
  bool screenshot_started_ = false;
};

}  // namespace quorvel::app
