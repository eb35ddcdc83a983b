// The notice window for new visitor messages: who wrote and what, further
// senders counted in its caption, a countdown that hides it, and a one-line
// reply box whose Enter answers through the page.
#pragma once

#include <string_view>

#include "app/ui.h"
#include "data/json_document.h"
#include "webview/web_view.h"

namespace quorvel::app {

// A text as a JavaScript string literal in single quotes, so that any
// reply reaches the page exactly as typed and never runs as script.
[[nodiscard]] Text script_literal(std::string_view text);

class Notice {
 public:
  Notice(Ui& ui, webview::WebView& view, JsonDocument& messages)
      : ui_(ui), view_(view), messages_(messages) {}

  // A "newmsg=>" payload.
  void compose(std::string_view payload);
  void lay_out();
  // The close timer's tick, every second whether or not a notice shows.
  void tick();
  // The agent pressed into the reply box: the notice stays.
  void hold();
  // A key in the reply box; only Enter (13) sends.
  void key(int code);

  [[nodiscard]] int countdown() const { return countdown_; }

 private:
  Ui& ui_;
  webview::WebView& view_;
  JsonDocument& messages_;
  int countdown_ = 0;
  Text title_;
  int other_senders_ = 0;
};

}  // namespace quorvel::app
