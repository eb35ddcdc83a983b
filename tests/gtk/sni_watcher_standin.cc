// A StatusNotifierWatcher of the tests' own, with a host that shows
// nothing: it owns the watcher's name on the session bus, answers that a
// host is registered, and prints one line per item registered,
// "item <bus name of the caller> <service>", so that a test can reach the
// item. Prints "ready" once it owns its name.
#include <gio/gio.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr char kXml[] = R"xml(<node>
 <interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
  <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
 </interface>
</node>)xml";

std::vector<std::string> items;

void on_method(GDBusConnection* bus, const gchar* sender, const gchar*, const gchar*,
               const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation,
               gpointer) {
  const gchar* service = nullptr;
  g_variant_get(parameters, "(&s)", &service);
  if (std::string(method) == "RegisterStatusNotifierItem") {
    items.push_back(std::string(sender) + std::string(service));
    std::printf("item %s %s\n", sender, service);
    std::fflush(stdout);
    g_dbus_connection_emit_signal(bus, nullptr, "/StatusNotifierWatcher",
                                  "org.kde.StatusNotifierWatcher", "StatusNotifierItemRegistered",
                                  g_variant_new("(s)", service), nullptr);
  }
  g_dbus_method_invocation_return_value(invocation, nullptr);
}

GVariant* on_property(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                      const gchar* property, GError**, gpointer) {
  const std::string name = property;
  if (name == "IsStatusNotifierHostRegistered") return g_variant_new_boolean(TRUE);
  if (name == "ProtocolVersion") return g_variant_new_int32(0);
  GVariantBuilder list;
  g_variant_builder_init(&list, G_VARIANT_TYPE("as"));
  for (const std::string& item : items) g_variant_builder_add(&list, "s", item.c_str());
  return g_variant_builder_end(&list);
}

void on_bus(GDBusConnection* bus, const gchar*, gpointer) {
  static const GDBusInterfaceVTable vtable = {on_method, on_property, nullptr, {}};
  GDBusNodeInfo* info = g_dbus_node_info_new_for_xml(kXml, nullptr);
  g_dbus_connection_register_object(bus, "/StatusNotifierWatcher", info->interfaces[0], &vtable,
                                    nullptr, nullptr, nullptr);
}

void on_name(GDBusConnection*, const gchar*, gpointer) {
  std::printf("ready\n");
  std::fflush(stdout);
}

void on_lost(GDBusConnection*, const gchar*, gpointer loop) {
  g_main_loop_quit(static_cast<GMainLoop*>(loop));
}

}  // namespace

int main() {
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  g_bus_own_name(G_BUS_TYPE_SESSION, "org.kde.StatusNotifierWatcher",
                 G_BUS_NAME_OWNER_FLAGS_NONE, on_bus, on_name, on_lost, loop, nullptr);
  g_main_loop_run(loop);
  return 0;
}
