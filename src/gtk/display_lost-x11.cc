// Kept apart: Xlib's macros (None, Status, Bool) clash with ordinary names.
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <unistd.h>

#include "gtk/display_lost.h"

namespace quorvel::gtk {
namespace {

int on_display_lost(Display*) {
  _exit(0);
}

}  // namespace

void exit_when_display_is_lost() {
  if (GDK_IS_X11_DISPLAY(gdk_display_get_default())) XSetIOErrorHandler(on_display_lost);
}

}  // namespace quorvel::gtk
