#include <gdk/gdkx.h>

#include "desktop/tray_hosts.h"
#include "gtk/xembed_tray.h"

namespace quorvel::gtk {

bool xembed_tray_present() {
  GdkDisplay* display = gdk_display_get_default();
  if (display == nullptr || !GDK_IS_X11_DISPLAY(display)) return false;
  return desktop::xembed_tray_present(gdk_x11_display_get_xdisplay(display));
}

}  // namespace quorvel::gtk
