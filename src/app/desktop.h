// What the desktop offers beyond windows: the sound of a new message, its
// do-not-disturb state, and starting the client with the session. Each
// platform has its own; tests use a recording fake.
#pragma once

#include "base/text.h"

namespace quorvel::app {

class Desktop {
 public:
  virtual ~Desktop() = default;
  // The desktop's sound for a new instant message; nothing when there is
  // no sound to play.
  virtual void play_message_sound() = 0;
  // Whether the agent asked the desktop for quiet (no pop-ups, no sounds).
  [[nodiscard]] virtual bool do_not_disturb() = 0;
  // The entry that starts the client with the session.
  [[nodiscard]] virtual bool starts_with_session() = 0;
  // Writes or removes it; false when that failed.
  virtual bool set_starts_with_session(bool enabled) = 0;
  // Where that entry is, for the agent when it cannot be written.
  [[nodiscard]] virtual Text session_entry() const = 0;
  // Hands an address (another site, mail, telephone) to the desktop's
  // default program for it; false when none took it.
  virtual bool open_on_desktop(std::string_view address) = 0;
  // A notification through the desktop's service, whose click brings the
  // client forward; false where the session has none.
  virtual bool show_notification(std::string_view title, std::string_view body) = 0;
  // The user's download folder; a saved file opened with its program; its
  // folder shown.
  [[nodiscard]] virtual Text download_folder() = 0;
  virtual bool open_file(std::string_view path) = 0;
  virtual bool show_in_folder(std::string_view path) = 0;
};

}  // namespace quorvel::app
