// The window layer as the client's handlers see it: three forms whose
// controls are addressed by their designed names, a tray icon with its
// menu, and message boxes. Each platform implements it over its toolkit;
// tests use a fake that records what the handlers did.
//
// Units are logical pixels (96 per inch). For a form, left and top are the
// position of its frame and width and height the size of its client area,
// as the toolkit reports them for the top-level window.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "base/text.h"

namespace quorvel::app {

enum class Form { Main, Join, Notice };

// An empty control name means the form itself.
inline constexpr std::string_view kSelf;

enum class Property {
  Visible,  // 0 or 1
  TopMost,  // 0 or 1
  State,    // 0 normal, 2 minimised, 3 maximised
  Left,
  Top,
  Width,
  Height,
};

enum class TextProperty { Caption, Text, Tag };

enum class TrayPicture { None, WindowIcon, Alternate };

// The window state, as the State property holds it.
enum class WindowState : int { Normal = 0, Minimised = 2, Maximised = 3 };

// Kinds of tray events.
inline constexpr int kTrayLeftUp = 1;
inline constexpr int kTrayDoubleClick = 2;
inline constexpr int kTrayRightUp = 3;

enum class Buttons { Ok, OkCancel };
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerCancel = 2;

struct Point {
  int x = 0;
  int y = 0;
};

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// A monitor: its whole area, and the part of it that windows may use (the
// work area, without task bars and panels).
struct Monitor {
  Rect area;
  Rect work;
};

// A control's place and size by property; 0 for the others.
[[nodiscard]] constexpr int rect_value(const Rect& r, Property p) {
  switch (p) {
    case Property::Left:
      return r.left;
    case Property::Top:
      return r.top;
    case Property::Width:
      return r.width;
    case Property::Height:
      return r.height;
    default:
      return 0;
  }
}

// Sets a control's place or size by property; false for the others.
constexpr bool set_rect_value(Rect& r, Property p, int value) {
  switch (p) {
    case Property::Left:
      r.left = value;
      return true;
    case Property::Top:
      r.top = value;
      return true;
    case Property::Width:
      r.width = value;
      return true;
    case Property::Height:
      r.height = value;
      return true;
    default:
      return false;
  }
}

// What a self-closing message box shows; the defaults are those of a
// directory refusal.
struct TimedMessage {
  Text text;
  int buttons = 0;                                    // OK only
  Text caption = "\xD3\xD1\xC7\xE9\xCC\xE1\xD0\xD1";  // 友情提醒
  std::intptr_t owner = 0;                            // 0: the window layer searches one
  int timeout_ms = 5000;
};

// The self-closing message box: without an owner it searches a visible
// top-level window of this process for at most 1000 ms. Answers the
// platform's answer code minus 1.
class TimedMessageBox {
 public:
  virtual ~TimedMessageBox() = default;
  virtual int show_timed_message(const TimedMessage& message) = 0;
};

// What the window layer reports: every window event, timer tick, tray
// event and menu choice, on the user-interface thread. The client
// implements it; the window layers know nothing else of the client.
class UiEvents {
 public:
  virtual ~UiEvents() = default;
  virtual void on_created(Form form) = 0;
  // False: the close is refused.
  [[nodiscard]] virtual bool on_close_request(Form form) = 0;
  // The session ends (log-off, shut-down).
  virtual void on_may_close(Form form) = 0;
  // The process is asked to end by the system (a signal, the display gone).
  virtual void end_session() = 0;
  virtual void on_moved(Form form) = 0;
  virtual void on_resized(Form form) = 0;
  virtual void on_focus(Form form) = 0;
  virtual void on_timer(Form form, std::string_view control) = 0;
  virtual void on_click(Form form, std::string_view control) = 0;
  // A left button press, a double click, a key (its character code; Enter
  // is 13).
  virtual void on_press(Form form, std::string_view control) = 0;
  virtual void on_double_click(Form form, std::string_view control) = 0;
  virtual void on_key(Form form, std::string_view control, int code) = 0;
  virtual void on_tray(int kind) = 0;
  // A tray menu item, by its index in the design.
  virtual void on_menu(int item) = 0;
  // The system's news: the network changed (it may be back), the machine
  // woke from sleep.
  virtual void on_network_changed() = 0;
  virtual void on_resumed() = 0;
};

class Ui {
 public:
  virtual ~Ui() = default;

  // Loads a form with its designed controls; its creation handler has run
  // when this returns. A modal form returns only once it is destroyed.
  virtual void load(Form form, bool modal) = 0;
  virtual void destroy(Form form) = 0;
  [[nodiscard]] virtual bool exists(Form form) const = 0;

  [[nodiscard]] virtual int get(Form form, std::string_view control, Property p) const = 0;
  virtual void set(Form form, std::string_view control, Property p, int value) = 0;
  [[nodiscard]] virtual Text get_text(Form form, std::string_view control,
                                      TextProperty p) const = 0;
  virtual void set_text(Form form, std::string_view control, TextProperty p,
                        std::string_view value) = 0;
  virtual void focus(Form form) = 0;
  // The native window of a control, for the web view to live in.
  [[nodiscard]] virtual std::intptr_t native_handle(Form form, std::string_view control) const = 0;

  // The tray icon: None removes it.
  virtual void set_tray(TrayPicture picture, std::string_view tip) = 0;
  // Whether messages wait unread: trays that show attention themselves
  // (rather than by the blinking pictures) follow this.
  virtual void set_tray_attention(bool /*attention*/) {}
  // A check item of the tray menu (numbered on from the last item).
  virtual void set_menu_check(int /*item*/, bool /*checked*/) {}
  // The window's request for the agent's attention (the taskbar's
  // urgency), and whether the window is the active one.
  virtual void set_urgent(Form /*form*/, bool /*urgent*/) {}
  [[nodiscard]] virtual bool is_active(Form /*form*/) const { return false; }
  virtual void popup_tray_menu(Point at) = 0;
  [[nodiscard]] virtual Point pointer() const = 0;

  // The monitors, the primary one first.
  [[nodiscard]] virtual std::vector<Monitor> monitors() const = 0;

  // A task-modal box without owner; the program's timers and events go on
  // while it shows. Returns kAnswerOk, kAnswerCancel (Esc and the close box
  // too).
  virtual int message_box(std::string_view text, std::string_view caption, Buttons buttons) = 0;
  // Brings the message box shown last (still open) to the front.
  virtual void raise_message_box() {}
  // A question with 允许 and 拒绝 and a 记住此选择 check; what the agent
  // answered.
  struct PermissionAnswer {
    bool allow = false;
    bool remember = false;
  };
  [[nodiscard]] virtual PermissionAnswer ask_permission(std::string_view /*question*/) { return {}; }
  // Gives a control the keyboard (the board: the page in it).
  virtual void focus_control(Form /*form*/, std::string_view /*control*/) {}
  // The desktop's save dialog, starting at a suggested path; the path the
  // agent chose, or empty text.
  [[nodiscard]] virtual Text ask_save_path(std::string_view /*suggested*/) { return {}; }

  // Ends the message loop: the process then exits with code 0.
  virtual void quit() = 0;
};

}  // namespace quorvel::app
