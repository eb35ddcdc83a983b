// The Linux desktop's sound, quiet and session start for the client:
// - the freedesktop sound theme's "message-new-instant" through libcanberra
//   (each request and its outcome is one line on standard error, so that a
//   silent desktop can be told from a muted client);
// - quiet when GNOME's notification banners are off
//   (org.gnome.desktop.notifications show-banners), where that schema is
//   installed;
// - the XDG autostart entry ~/.config/autostart/io.quorvel.Desk.desktop,
//   which starts the program with kAutostartArgument.
#pragma once

#include <string>

#include "app/desktop.h"

typedef struct ca_context ca_context;
typedef struct _GSettings GSettings;

namespace quorvel::gtk {

inline constexpr char kAutostartArgument[] = "--autostart";

class DesktopServices final : public app::Desktop {
 public:
  DesktopServices();
  ~DesktopServices() override;
  DesktopServices(const DesktopServices&) = delete;
  DesktopServices& operator=(const DesktopServices&) = delete;

  void play_message_sound() override;
  [[nodiscard]] bool do_not_disturb() override;
  [[nodiscard]] bool starts_with_session() override;
  bool set_starts_with_session(bool enabled) override;
  [[nodiscard]] Text session_entry() const override { return from_utf8(autostart_path()); }
  bool open_on_desktop(std::string_view address) override;
  bool show_notification(std::string_view title, std::string_view body) override;
  [[nodiscard]] Text download_folder() override;
  bool open_file(std::string_view path) override;
  bool show_in_folder(std::string_view path) override;

  // The autostart entry's path (created on demand by set_starts_with_session).
  [[nodiscard]] static std::string autostart_path();

 private:
  [[nodiscard]] std::string own_sound_file();
  // GIO's default program for the address, with the permissions the client
  // was started with.
  static bool launch_default(const std::string& uri);

  ca_context* sound_ = nullptr;
  std::string own_sound_;
  GSettings* notifications_ = nullptr;
};

}  // namespace quorvel::gtk
