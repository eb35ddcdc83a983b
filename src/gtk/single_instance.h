// One client per desktop session. The first start owns the application id
// on the session bus (GtkApplication's registration); a later start asks
// the first to bring its current window forward and ends with code 0, so
// that two clients never write one settings file.
//
// The restart after a new binding starts the program again while the old
// process is ending: the new one is told whose place it takes (the
// variable QUORVEL_REPLACES, set for the restart script) and waits up to
// 5 s for that process and its name on the bus to go instead of handing
// over to it.
//
// Without a session bus every start runs on its own, as before; standard
// error says so.
#pragma once

#include <gtk/gtk.h>

#include <functional>

#include "gtk/gobject_ptr.h"

namespace quorvel::gtk {

inline constexpr char kApplicationId[] = "io.quorvel.Desk";

class SingleInstance {
 public:
  enum class Claim {
    First,    // this process owns the id
    Another,  // another client runs; it was asked to come forward
    Alone,    // no session bus: uniqueness cannot be had
  };

  struct Listener {
    std::function<void()> activated;    // another start asked for us
    std::function<void()> session_end;  // the session manager ends the session
  };

  explicit SingleInstance(const char* id = kApplicationId);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  [[nodiscard]] Claim claim(Listener listener);

 private:
  static void on_activate(GApplication* app, gpointer self);
  static void on_query_end(GtkApplication* app, gpointer self);
  [[nodiscard]] bool wait_for_replaced(GDBusConnection* bus);

  const char* id_;
  Listener listener_;
  GObjectPtr<GApplication> app_;
};

}  // namespace quorvel::gtk
