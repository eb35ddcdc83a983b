// The system's news the console's recovery waits for: the network changed
// (it may be back), the machine woke from sleep. GIO's network monitor
// gives the first; logind's PrepareForSleep signal on the system bus, sent
// with false on waking, the second. A machine without a system bus or
// logind simply never wakes the console early; the retries still come.
#pragma once

#include <gio/gio.h>

#include <functional>

#include "gtk/gobject_ptr.h"

namespace quorvel::gtk {

class SystemNews {
 public:
  struct Listener {
    std::function<void()> network_changed;
    std::function<void()> resumed;
  };

  explicit SystemNews(Listener listener);
  ~SystemNews();
  SystemNews(const SystemNews&) = delete;
  SystemNews& operator=(const SystemNews&) = delete;

  // True once the system bus is reached and the signal subscribed.
  [[nodiscard]] bool watching_sleep() const { return subscription_ != 0; }

 private:
  static void on_network(GNetworkMonitor* monitor, gboolean available, gpointer self);
  static void on_bus(GObject* source, GAsyncResult* result, gpointer self);
  static void on_sleep(GDBusConnection* bus, const gchar* sender, const gchar* path,
                       const gchar* interface, const gchar* signal, GVariant* parameters,
                       gpointer self);

  Listener listener_;
  GNetworkMonitor* monitor_ = nullptr;  // GIO's own, never freed
  gulong network_handler_ = 0;
  GObjectPtr<GCancellable> cancel_;
  GObjectPtr<GDBusConnection> bus_;
  guint subscription_ = 0;
};

}  // namespace quorvel::gtk
