// The window layer over Win32: forms built from their designs with child
// controls at their designed places (the bookkeeping is the form table's), the tray through
// Shell_NotifyIconW with the menu, and message boxes (the self-closing one over MessageBoxTimeoutW,
// closed by a timer of our own as well, since some systems ignore that call's timeout).
//
// Geometry is in logical pixels (96 per inch), scaled by the window's
// monitor factor on screen: left and top are the frame's position, width
// and height the client area's size.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>

#include "app/form_table.h"
#include "app/ui.h"
#include "base/unique_handle.h"
#include "win32/system_news.h"

namespace quorvel::win32 {

// A GDI font, deleted when its owner goes.
struct FontTraits {
  using Handle = HFONT;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle font) noexcept { DeleteObject(font); }
};
using UniqueFont = UniqueHandle<FontTraits>;

// An icon loaded at a size of our choosing, destroyed when its owner goes.
struct IconTraits {
  using Handle = HICON;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle icon) noexcept { DestroyIcon(icon); }
};
using UniqueIcon = UniqueHandle<IconTraits>;

// The hidden window that receives the tray's messages, and the message a
// second start sends it to bring this client's window forward.
inline constexpr wchar_t kTrayWindowClass[] = L"QuorvelTray";
inline constexpr UINT kBringForwardMessage = WM_APP + 3;

class Win32Ui final : public app::TableUi, public app::TimedMessageBox {
 public:
  explicit Win32Ui(HINSTANCE instance);
  ~Win32Ui() override;
  Win32Ui(const Win32Ui&) = delete;
  Win32Ui& operator=(const Win32Ui&) = delete;

  // Runs the message loop unless the program was asked to end already.
  void run();
  // One pass over the pending messages, for long work on this thread.
  static void run_pending_messages();
  // The network's changes and the machine's waking reach the events.
  void watch_system_news();

  void load(app::Form form, bool modal) override;
  void destroy(app::Form form) override;
  void focus(app::Form form) override;
  void set_tray(app::TrayPicture picture, std::string_view tip) override;
  void popup_tray_menu(app::Point at) override;
  void set_menu_check(int item, bool checked) override;
  void set_urgent(app::Form form, bool urgent) override;
  [[nodiscard]] bool is_active(app::Form form) const override;
  // What a second start's request does (bring the current window forward).
  void on_bring_forward(std::function<void()> handler) { bring_forward_ = std::move(handler); }
  [[nodiscard]] app::Point pointer() const override;
  [[nodiscard]] std::vector<app::Monitor> monitors() const override;
  int message_box(std::string_view text, std::string_view caption, app::Buttons buttons) override;
  void raise_message_box() override;
  [[nodiscard]] Text ask_save_path(std::string_view suggested) override;
  void quit() override;

  int show_timed_message(const app::TimedMessage& message) override;

  struct FormState;
  struct Control;

 private:
  friend struct WindowProcedures;
  [[nodiscard]] std::unique_ptr<app::FormEntry> new_form() override;
  [[nodiscard]] std::unique_ptr<app::ControlEntry> new_control() override;
  [[nodiscard]] int form_property(const app::FormEntry& f, app::Property p) const override;
  void set_form_property(app::FormEntry& f, app::Property p, int value) override;
  [[nodiscard]] bool control_visible(const app::ControlEntry& c) const override;
  void set_control_visible(app::FormEntry& f, app::ControlEntry& c, bool visible) override;
  void place_control(app::FormEntry& f, app::ControlEntry& c) override;
  [[nodiscard]] Text native_text(const app::FormEntry& f,
                                 const app::ControlEntry* c) const override;
  void set_native_text(app::FormEntry& f, app::ControlEntry* c, std::string_view text) override;
  [[nodiscard]] std::intptr_t native_widget(const app::ControlEntry& c) const override;

  [[nodiscard]] FormState* state(app::Form form) const;
  void build_form(app::Form form);
  void build_control(FormState& f, Control& c);
  void tray_message(LPARAM event);
  static bool escape_closes(const MSG& message);

  HINSTANCE instance_;
  HWND tray_window_ = nullptr;                          // receives the tray's messages
  HICON window_icon_ = nullptr, alert_icon_ = nullptr;  // shared resources, never destroyed
  // The tray's pictures at the small-icon size of the system's scale.
  UniqueIcon tray_icon_, tray_alert_icon_;
  UniqueFont font_, bold_font_, content_font_;
  std::unique_ptr<SystemNews> news_;
  bool tray_shown_ = false;
  bool quit_requested_ = false;
  bool running_ = false;
  Text tray_tip_;
  app::TrayPicture tray_picture_ = app::TrayPicture::None;
  std::map<int, bool> menu_checks_;
  std::function<void()> bring_forward_;
};

}  // namespace quorvel::win32
