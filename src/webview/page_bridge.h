// The page's messages to the host, read from its console output, and the
// script the host runs after every page load.
#pragma once

#include <deque>
#include <functional>
#include <string_view>

#include "app/notice.h"
#include "app/ui.h"
#include "webview/web_view.h"

namespace quorvel::webview {

class PageBridge final : public PageEvents {
 public:
  struct Hooks {
    std::function<void(int)> set_unread;
    std::function<void()> start_screenshot_tool;
  };

  PageBridge(app::Ui& ui, WebView& view, app::Notice& notice, Hooks hooks)
      : ui_(ui), view_(view), notice_(notice), hooks_(std::move(hooks)) {}

  void page_loaded() override;
  void console_message(std::string_view text) override;

 private:
  void dispatch(std::string_view text);

  app::Ui& ui_;
  WebView& view_;
  app::Notice& notice_;
  Hooks hooks_;
  // Messages that arrive while one is handled (its parse lets the UI run)
  // wait their turn: the message document is never used re-entrantly.
  bool busy_ = false;
  std::deque<Text> waiting_;
};

}  // namespace quorvel::webview
