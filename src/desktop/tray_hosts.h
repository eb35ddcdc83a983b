// Which trays a Linux desktop offers, asked of the session bus and the X
// display: the client picks its tray by them, and quorvel-tool doctor
// reports them.
#pragma once

#include <gio/gio.h>

typedef struct _XDisplay Display;

namespace quorvel::desktop {

// A StatusNotifierWatcher on the bus that has a host showing its items.
[[nodiscard]] bool notifier_host_present(GDBusConnection* bus);

// An XEmbed tray manager owning the screen's _NET_SYSTEM_TRAY selection.
[[nodiscard]] bool xembed_tray_present(Display* display);

}  // namespace quorvel::desktop
