#include "gtk/system_news.h"

namespace quorvel::gtk {

SystemNews::SystemNews(Listener listener)
    : listener_(std::move(listener)), cancel_(GObjectPtr<GCancellable>::adopt(g_cancellable_new())) {
  monitor_ = g_network_monitor_get_default();
  if (monitor_ != nullptr) {
    network_handler_ =
        g_signal_connect(monitor_, "network-changed", G_CALLBACK(&SystemNews::on_network), this);
  }
  // Asynchronously: a slow or missing system bus must not hold up the start.
  g_bus_get(G_BUS_TYPE_SYSTEM, cancel_.get(), &SystemNews::on_bus, this);
}

SystemNews::~SystemNews() {
  // The pending bus request answers later with "cancelled" and touches
  // nothing of this object.
  g_cancellable_cancel(cancel_.get());
  if (network_handler_ != 0) g_signal_handler_disconnect(monitor_, network_handler_);
  if (subscription_ != 0) g_dbus_connection_signal_unsubscribe(bus_.get(), subscription_);
}

void SystemNews::on_network(GNetworkMonitor*, gboolean available, gpointer self) {
  // A network that went away brings nothing back.
  auto* news = static_cast<SystemNews*>(self);
  if (available != FALSE && news->listener_.network_changed) news->listener_.network_changed();
}

void SystemNews::on_bus(GObject*, GAsyncResult* result, gpointer self) {
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_finish(result, &error);
  if (bus == nullptr) {
    // Cancelled (the object is gone) or no system bus: nothing to watch.
    g_error_free(error);
    return;
  }
  auto* news = static_cast<SystemNews*>(self);
  news->bus_ = GObjectPtr<GDBusConnection>::adopt(bus);
  // Only from logind itself: the bus resolves the name to its owner.
  news->subscription_ = g_dbus_connection_signal_subscribe(
      bus, "org.freedesktop.login1", "org.freedesktop.login1.Manager", "PrepareForSleep",
      "/org/freedesktop/login1", nullptr, G_DBUS_SIGNAL_FLAGS_NONE, &SystemNews::on_sleep, news,
      nullptr);
}

void SystemNews::on_sleep(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                          const gchar*, GVariant* parameters, gpointer self) {
  if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(b)"))) return;
  gboolean going_to_sleep = TRUE;
  g_variant_get(parameters, "(b)", &going_to_sleep);
  auto* news = static_cast<SystemNews*>(self);
  if (going_to_sleep == FALSE && news->listener_.resumed) news->listener_.resumed();
}

}  // namespace quorvel::gtk
