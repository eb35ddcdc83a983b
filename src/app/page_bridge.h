// The page's messages to the host, read from its console output, and the
// script the host runs after every page load.
#pragma once

#include <deque>
#include <functional>
#include <string_view>

#include "app/notice.h"
#include "app/ui.h"
#include "app/web_view.h"

namespace quorvel::app {

// Captions and tips show at most this many characters; the stored title
// keeps whatever the page sent.
inline constexpr std::size_t kMaxShownCharacters = 256;

// The text cut to `max_chars` characters (double-byte ones whole).
[[nodiscard]] Text shown_text(std::string_view text, std::size_t max_chars = kMaxShownCharacters);

// The main window's caption for a title and an unread count: the title,
// then "  新消息【n】" while n > 0 (above 99999: "99999+"), cut to what is
// shown with the count always visible.
[[nodiscard]] Text alert_caption(std::string_view title, int count);

class PageBridge final : public PageEvents {
 public:
  struct Hooks {
    std::function<void(int)> set_unread;
    std::function<void()> start_screenshot_tool;
    // The tray's picture and tip, set only when they change.
    std::function<void(TrayPicture, std::string_view)> show_tray;
  };

  PageBridge(Ui& ui, WebView& view, Notice& notice, Hooks hooks)
      : ui_(ui), view_(view), notice_(notice), hooks_(std::move(hooks)) {}

  void page_loaded(std::string_view address) override;
  void console_message(std::string_view text) override;

 private:
  void dispatch(std::string_view text);
  // Sets the main window's caption only when it changes: a page that
  // repeats itself must not keep the window manager busy.
  void show_caption(const Text& caption);

  Ui& ui_;
  WebView& view_;
  Notice& notice_;
  Hooks hooks_;
  // Messages that arrive while one is handled (its parse lets the UI run)
  // wait their turn: the message document is never used re-entrantly.
  bool busy_ = false;
  std::deque<Text> waiting_;
};

}  // namespace quorvel::app
