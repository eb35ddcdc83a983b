#include <X11/Xlib.h>
#include <gdk/gdkx.h>

#include <string>

#include "gtk/xembed_tray.h"

namespace quorvel::gtk {

bool xembed_tray_present() {
  GdkDisplay* display = gdk_display_get_default();
  if (display == nullptr || !GDK_IS_X11_DISPLAY(display)) return false;
  Display* x = gdk_x11_display_get_xdisplay(display);
  const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(x));
  const Atom atom = XInternAtom(x, selection.c_str(), False);
  return XGetSelectionOwner(x, atom) != None;
}

}  // namespace quorvel::gtk
