// Find in page: Ctrl+F opens a bar in the main window's bottom strip (a
// text box, 上一个, 下一个 and "3/12"); Enter and Shift+Enter step through
// the matches, Esc closes it and gives the page its focus back.
#pragma once

#include <string_view>

#include "app/ui.h"
#include "app/web_view.h"

namespace quorvel::app {

// The key codes the reply and find boxes report: Enter, Enter with Shift,
// Esc (its character, or its key value where it has none).
inline constexpr int kKeyEnter = 13;
inline constexpr int kKeyShiftEnter = 0x1000D;
inline constexpr int kKeyEscape = 27;
inline constexpr int kKeyEscapeValue = 0xFF1B;

class FindBar {
 public:
  FindBar(Ui& ui, WebView& view) : ui_(ui), view_(view) {}

  void open();
  void close();
  [[nodiscard]] bool is_open() const { return open_; }
  // Keys typed into its box; its buttons.
  void key(int code);
  void click(std::string_view control);
  // How many the search found.
  void result(int matches);
  void lay_out(int board_height);
  void hide();

 private:
  void step(bool forward);
  void show_count();

  Ui& ui_;
  WebView& view_;
  bool open_ = false;
  Text searched_;  // the text of the last search
  int matches_ = -1;  // unknown until the engine says
  int index_ = 0;  // 1-based, 0 before the first match
};

}  // namespace quorvel::app
