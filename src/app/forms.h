// The designed forms: every control with its name, kind, place, size and
// text. The platform layers build their windows from these tables, and the
// handlers address the controls by the same names.
#pragma once

#include <string_view>
#include <vector>

#include "app/ui.h"
#include "base/text.h"

namespace quorvel::app {

enum class ControlKind {
  Board,  // a drawing board: a plain child window (the web view's host)
  Timer,  // invisible; ticks every `interval_ms`
  Label,
  BoldLabel,  // a label in a bold 16-pixel font
  TransparentLabel,
  ContentLabel,  // the notice's conversation text, SimSun 14-pixel characters
  Edit,          // a single-line edit box
  Button,
  GroupBox,
};

struct ControlDesign {
  Text name;
  ControlKind kind;
  Rect rect;  // relative to the container's client area
  Text text;
  Text container;  // empty: the form itself
  int interval_ms = 0;
};

struct FormDesign {
  Form form;
  Rect rect;  // designed place and size; forms are centred when loaded
  Text caption;
  Text tag;
  bool resizable = false;
  bool maximize_box = false;
  // Shown when loaded; a form that is not waits for its handlers to show it
  // where they place it (the notice).
  bool visible_at_load = true;
  std::vector<ControlDesign> controls;
  std::vector<Text> menu;  // the tray menu's items, in order (main form only)
  // Check items after them, numbered on from the last item: sound alerts,
  // start with the session.
  std::vector<Text> menu_checks;
};

[[nodiscard]] const FormDesign& form_design(Form form);

// Names and texts the handlers use, as internal text.
struct Names {
  Text main_caption, tray_tip, info_caption;
  Text board, main_timer;
  Text join_number, join_login_path, join_button;
  Text notice_countdown, notice_reply_caption, notice_timer, notice_content, notice_reply;
  Text menu_configure, menu_refresh, menu_clear, menu_show, menu_exit;
  Text download_label, download_open, download_folder, download_cancel;
  Text find_box, find_previous, find_next, find_count;
};
[[nodiscard]] const Names& names();

}  // namespace quorvel::app
