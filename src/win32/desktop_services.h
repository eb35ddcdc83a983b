// The Windows desktop's sound, quiet and session start for the client:
// the system's "Notification.IM" sound (PlaySound), quiet while the shell
// says the user is busy, presenting or running something full screen
// (SHQueryUserNotificationState), and the value under the user's Run key
// that starts the program with kAutostartArgument.
#pragma once

#include <string>

#include "app/desktop.h"

namespace quorvel::win32 {

inline constexpr wchar_t kAutostartArgument[] = L"--autostart";
inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValue[] = L"Quorvel Desk";

class DesktopServices final : public app::Desktop {
 public:
  void play_message_sound() override;
  [[nodiscard]] bool do_not_disturb() override;
  [[nodiscard]] bool starts_with_session() override;
  bool set_starts_with_session(bool enabled) override;
  [[nodiscard]] Text session_entry() const override;
  bool open_on_desktop(std::string_view address) override;
  bool show_notification(std::string_view, std::string_view) override { return false; }
  [[nodiscard]] Text download_folder() override;
  bool open_file(std::string_view path) override;
  bool show_in_folder(std::string_view path) override;

  // The Run value's command: the program's quoted path and the argument.
  [[nodiscard]] static std::wstring run_command();
};

}  // namespace quorvel::win32
