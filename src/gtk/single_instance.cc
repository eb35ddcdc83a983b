#include "gtk/single_instance.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace quorvel::gtk {
namespace {

constexpr auto kReplaceWait = std::chrono::seconds(5);

bool name_has_owner(GDBusConnection* bus, const char* name) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
      "NameHasOwner", g_variant_new("(s)", name), G_VARIANT_TYPE("(b)"),
      G_DBUS_CALL_FLAGS_NONE, 1000, nullptr, &error);
  if (reply == nullptr) {
    g_clear_error(&error);
    return false;
  }
  gboolean owned = FALSE;
  g_variant_get(reply, "(b)", &owned);
  g_variant_unref(reply);
  return owned != FALSE;
}

// The process this start replaces, read once and forgotten, so that the
// programs this one starts never inherit it.
pid_t replaced_process() {
  const char* value = std::getenv("QUORVEL_REPLACES");
  if (value == nullptr) return 0;
  const long pid = std::strtol(value, nullptr, 10);
  g_unsetenv("QUORVEL_REPLACES");
  return pid > 1 && pid != getpid() ? static_cast<pid_t>(pid) : 0;
}

}  // namespace

SingleInstance::SingleInstance(const char* id) : id_(id) {}

SingleInstance::~SingleInstance() {
  if (!app_) return;
  g_signal_handlers_disconnect_by_data(app_.get(), this);
  // GLib unregisters an application only at the end of its own run loop,
  // which this program does not use, and warns when a registered one is
  // freed: it is kept until the process ends and the bus drops its name.
  g_object_ref(app_.get());
}

bool SingleInstance::wait_for_replaced(GDBusConnection* bus) {
  const pid_t old = replaced_process();
  if (old == 0) return false;
  const auto deadline = std::chrono::steady_clock::now() + kReplaceWait;
  while (std::chrono::steady_clock::now() < deadline) {
    const bool process_gone = kill(old, 0) != 0 && errno == ESRCH;
    if (process_gone && !name_has_owner(bus, id_)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

SingleInstance::Claim SingleInstance::claim(Listener listener) {
  listener_ = std::move(listener);
  GError* error = nullptr;
  GObjectPtr<GDBusConnection> bus =
      GObjectPtr<GDBusConnection>::adopt(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error));
  if (!bus) {
    std::fprintf(stderr, "quorvel: no session bus (%s): a second start is not prevented\n",
                 error != nullptr ? error->message : "?");
    g_clear_error(&error);
    return Claim::Alone;
  }
  static_cast<void>(wait_for_replaced(bus.get()));
  // The session manager asks before it ends the session; the answer is
  // the same route as SIGTERM's. GTK's application answers it; without a
  // session manager it would fall back to the desktop portal, which warns
  // where it lacks the interface, for nothing, and its start-up costs the
  // client's first frame some 14 ms: GLib's plain application holds the id
  // then.
  if (name_has_owner(bus.get(), "org.gnome.SessionManager")) {
    app_ = GObjectPtr<GApplication>::adopt(
        G_APPLICATION(gtk_application_new(id_, static_cast<GApplicationFlags>(0))));
    g_object_set(app_.get(), "register-session", TRUE, nullptr);
    g_signal_connect(app_.get(), "query-end", G_CALLBACK(on_query_end), this);
  } else {
    app_ = GObjectPtr<GApplication>::adopt(g_application_new(id_, G_APPLICATION_DEFAULT_FLAGS));
  }
  g_signal_connect(app_.get(), "activate", G_CALLBACK(on_activate), this);
  if (!g_application_register(app_.get(), nullptr, &error)) {
    std::fprintf(stderr, "quorvel: the application id could not be registered (%s)\n",
                 error != nullptr ? error->message : "?");
    g_clear_error(&error);
    app_ = {};
    return Claim::Alone;
  }
  if (!g_application_get_is_remote(app_.get())) return Claim::First;
  g_application_activate(app_.get());
  // The request is queued on the connection: it must leave before we end.
  if (GDBusConnection* c = g_application_get_dbus_connection(app_.get())) {
    g_dbus_connection_flush_sync(c, nullptr, nullptr);
  }
  return Claim::Another;
}

void SingleInstance::on_activate(GApplication*, gpointer self) {
  auto* me = static_cast<SingleInstance*>(self);
  if (me->listener_.activated) me->listener_.activated();
}

void SingleInstance::on_query_end(GtkApplication*, gpointer self) {
  auto* me = static_cast<SingleInstance*>(self);
  if (me->listener_.session_end) me->listener_.session_end();
}

}  // namespace quorvel::gtk
