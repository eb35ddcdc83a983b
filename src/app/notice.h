// The notice window for new visitor messages: who wrote and what, further
// senders counted in its caption, a countdown that hides it, and a one-line
// reply box whose Enter answers through the page.
#pragma once

#include <deque>
#include <functional>
#include <string_view>

#include "app/ui.h"
#include "app/web_view.h"
#include "data/json_document.h"

namespace quorvel::app {

// A text as a JavaScript string literal in single quotes, so that any
// reply reaches the page exactly as typed and never runs as script.
[[nodiscard]] Text script_literal(std::string_view text);

// The conversation label's height for a text: one 14-pixel line per piece
// between "\r\n", plus one for every 59 bytes.
[[nodiscard]] int notice_label_height(std::string_view text);

class Notice {
 public:
  // What a window's frame adds outside its client area, at most: below
  // (title bar and borders) and at the side.
  static constexpr int kFrameAllowance = 40;
  static constexpr int kFrameSide = 10;

  Notice(Ui& ui, app::WebView& view, JsonDocument& messages)
      : ui_(ui), view_(view), messages_(messages) {}

  // A "newmsg=>" payload.
  void compose(std::string_view payload);
  // A notification of the site's own, where the desktop shows none: its
  // title and text, no one to reply to.
  void announce(std::string_view caption, std::string_view text);
  void lay_out();
  // The close timer's tick, every second whether or not a notice shows.
  void tick();
  // The agent pressed into the reply box: the notice stays.
  void hold();
  // A key in the reply box: Enter (13) sends, any other holds the notice.
  void key(int code);

  [[nodiscard]] int countdown() const { return countdown_; }

  // Told of every message the notice takes, and asked before it pops up:
  // while `quiet` answers true (the desktop's do-not-disturb) the notice is
  // composed but held back, for show_held_back to show later.
  // `window` makes the notice window when it is not there yet.
  struct Hooks {
    std::function<void()> message;
    std::function<bool()> quiet;
    std::function<void()> window;
  };
  void set_hooks(Hooks hooks) { hooks_ = std::move(hooks); }
  [[nodiscard]] bool held_back() const { return held_back_; }
  // A held-back notification of the site's (shown when the quiet ends,
  // whatever is unread).
  [[nodiscard]] bool announcement_held_back() const { return held_back_ && announced_; }
  void show_held_back();

 private:
  // Shows what was composed, or holds it back while the desktop asks for
  // quiet.
  void present();
  void show_countdown();
  // The conversation as one text, cut to what fits a label `room` pixels
  // high: the oldest entries go first, then the tail of the one left.
  [[nodiscard]] Text conversation_text(int room);

  Ui& ui_;
  app::WebView& view_;
  JsonDocument& messages_;
  int countdown_ = 0;
  Text title_;
  int other_senders_ = 0;
  // The conversation's entries ("=>:  " a message, "<=:  " a reply), kept
  // apart so that trimming never cuts inside one at a blank line it holds.
  std::deque<Text> entries_;
  // Whom a reply goes to: the sender whose conversation the notice shows,
  // as composed; a message of another sender never changes them.
  Text reply_to_;
  Text reply_account_;
  Hooks hooks_;
  bool held_back_ = false;
  bool announced_ = false;  // what shows is a notification, not a message
};

}  // namespace quorvel::app
