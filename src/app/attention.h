// Beyond the caption and the tray, what makes an agent notice a visitor:
// the main window's urgency while it is not the active one (cleared when it
// is activated), and a sound for every new message, repeated every 30 s
// while messages stay unread and the main window is inactive, at most 10
// times. The sound can be turned off (key "sound" = 0). While the desktop
// asks for quiet, nothing sounds; the caption, the tray and the urgency
// still show.
#pragma once

#include <cstdint>

#include "app/desktop.h"
#include "app/services.h"
#include "app/ui.h"

namespace quorvel::app {

inline constexpr char kKeySound[] = "sound";

class Attention {
 public:
  static constexpr std::int64_t kRepeatMs = 30000;
  static constexpr int kMostRepeats = 10;

  // Without a desktop there is no sound and never quiet.
  Attention(Ui& ui, Settings& settings, Clock& clock, Desktop* desktop);

  // A visitor's new message.
  void message();
  // Every second; `unread`: the page's unread count.
  void tick(int unread);
  // The main window became the active one.
  void activated();

  [[nodiscard]] bool quiet() const { return quiet_; }
  [[nodiscard]] bool sound_on();
  void set_sound(bool on);

 private:
  void sound();

  Ui& ui_;
  Settings& settings_;
  Clock& clock_;
  Desktop* desktop_;
  bool quiet_ = false;
  bool urgent_ = false;
  int repeats_ = kMostRepeats;  // none until a message comes
  std::int64_t last_sound_ms_ = 0;
};

}  // namespace quorvel::app
