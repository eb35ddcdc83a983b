// The window layer over Win32: forms built from their designs with child
// controls at their designed places, the tray through Shell_NotifyIconW with
// the menu, and message boxes (the self-closing one over
// MessageBoxTimeoutW, closed by a timer of our own as well, since some
// systems ignore that call's timeout).
//
// Geometry is in logical pixels (96 per inch), scaled by the window's
// monitor factor on screen: left and top are the frame's position, width
// and height the client area's size.
#pragma once

#include <windows.h>

#include <map>
#include <memory>

#include "app/client.h"
#include "app/ui.h"

namespace quorvel::win32 {

class Win32Ui final : public app::Ui, public app::TimedMessageBox {
 public:
  explicit Win32Ui(HINSTANCE instance);
  ~Win32Ui() override;
  Win32Ui(const Win32Ui&) = delete;
  Win32Ui& operator=(const Win32Ui&) = delete;

  void set_client(app::Client* client) { client_ = client; }
  // Runs the message loop unless the program was asked to end already.
  void run();
  // One pass over the pending messages, for long work on this thread.
  static void run_pending_messages();

  void load(app::Form form, bool modal) override;
  void destroy(app::Form form) override;
  [[nodiscard]] bool exists(app::Form form) const override;
  [[nodiscard]] int get(app::Form form, std::string_view control, app::Property p) const override;
  void set(app::Form form, std::string_view control, app::Property p, int value) override;
  [[nodiscard]] Text get_text(app::Form form, std::string_view control,
                              app::TextProperty p) const override;
  void set_text(app::Form form, std::string_view control, app::TextProperty p,
                std::string_view value) override;
  void focus(app::Form form) override;
  [[nodiscard]] std::intptr_t native_handle(app::Form form,
                                            std::string_view control) const override;
  void set_tray(app::TrayPicture picture, std::string_view tip) override;
  void popup_tray_menu(app::Point at) override;
  [[nodiscard]] app::Point pointer() const override;
  [[nodiscard]] std::vector<app::Monitor> monitors() const override;
  int message_box(std::string_view text, std::string_view caption, app::Buttons buttons) override;
  void quit() override;

  int show_timed_message(const app::TimedMessage& message) override;

  struct FormState;
  struct Control;

 private:
  friend struct WindowProcedures;
  [[nodiscard]] FormState* state(app::Form form) const;
  [[nodiscard]] Control* control(app::Form form, std::string_view name) const;
  void build_form(app::Form form);
  void place_control(const FormState& f, Control& c) const;
  void tray_message(LPARAM event);

  HINSTANCE instance_;
  app::Client* client_ = nullptr;
  std::map<app::Form, std::unique_ptr<FormState>> forms_;
  HWND tray_window_ = nullptr;  // receives the tray's messages
  HICON window_icon_ = nullptr, alert_icon_ = nullptr;
  HFONT font_ = nullptr, bold_font_ = nullptr, content_font_ = nullptr;
  bool tray_shown_ = false;
  bool quit_requested_ = false;
  bool running_ = false;
  Text tray_tip_;
  app::TrayPicture tray_picture_ = app::TrayPicture::None;
};

}  // namespace quorvel::win32
