// Whether the display has an XEmbed system tray (a tray manager owns the
// screen's _NET_SYSTEM_TRAY selection), where GtkStatusIcon can show.
#pragma once

namespace quorvel::gtk {

[[nodiscard]] bool xembed_tray_present();

}  // namespace quorvel::gtk
