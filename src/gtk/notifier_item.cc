#include "gtk/notifier_item.h"

#include <libdbusmenu-glib/menuitem.h>
#include <libdbusmenu-glib/server.h>
#include <unistd.h>

#include "desktop/tray_hosts.h"

namespace quorvel::gtk {
namespace {

constexpr char kWatcher[] = "org.kde.StatusNotifierWatcher";
constexpr char kWatcherPath[] = "/StatusNotifierWatcher";
constexpr char kItemPath[] = "/StatusNotifierItem";
constexpr char kMenuPath[] = "/MenuBar";
constexpr char kInterface[] = "org.kde.StatusNotifierItem";

constexpr char kIntrospection[] = R"xml(<node>
 <interface name="org.kde.StatusNotifierItem">
  <property name="Category" type="s" access="read"/>
  <property name="Id" type="s" access="read"/>
  <property name="Title" type="s" access="read"/>
  <property name="Status" type="s" access="read"/>
  <property name="WindowId" type="i" access="read"/>
  <property name="IconName" type="s" access="read"/>
  <property name="IconPixmap" type="a(iiay)" access="read"/>
  <property name="AttentionIconName" type="s" access="read"/>
  <property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
  <property name="OverlayIconName" type="s" access="read"/>
  <property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
  <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
  <property name="ItemIsMenu" type="b" access="read"/>
  <property name="Menu" type="o" access="read"/>
  <method name="ContextMenu"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
  <method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
  <method name="SecondaryActivate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
  <method name="Scroll"><arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/></method>
  <signal name="NewTitle"/>
  <signal name="NewIcon"/>
  <signal name="NewAttentionIcon"/>
  <signal name="NewOverlayIcon"/>
  <signal name="NewToolTip"/>
  <signal name="NewStatus"><arg name="status" type="s"/></signal>
 </interface>
</node>)xml";

GDBusNodeInfo* introspection() {
  static GDBusNodeInfo* info = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
  return info;
}

// One picture in the sizes hosts ask for, as ARGB in network byte order.
GVariant* pixmaps(GdkPixbuf* picture) {
  GVariantBuilder all;
  g_variant_builder_init(&all, G_VARIANT_TYPE("a(iiay)"));
  for (const int size : {16, 22, 24, 32, 48, 64}) {
    if (picture == nullptr) break;
    GObjectPtr<GdkPixbuf> scaled = GObjectPtr<GdkPixbuf>::adopt(
        gdk_pixbuf_scale_simple(picture, size, size, GDK_INTERP_BILINEAR));
    if (!scaled) continue;
    GObjectPtr<GdkPixbuf> rgba =
        gdk_pixbuf_get_has_alpha(scaled.get())
            ? scaled
            : GObjectPtr<GdkPixbuf>::adopt(gdk_pixbuf_add_alpha(scaled.get(), FALSE, 0, 0, 0));
    const int stride = gdk_pixbuf_get_rowstride(rgba.get());
    const guchar* pixels = gdk_pixbuf_read_pixels(rgba.get());
    std::string argb(static_cast<std::size_t>(size) * size * 4, '\0');
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) {
        const guchar* p = pixels + y * stride + x * 4;
        char* out = argb.data() + (static_cast<std::size_t>(y) * size + x) * 4;
        out[0] = static_cast<char>(p[3]);
        out[1] = static_cast<char>(p[0]);
        out[2] = static_cast<char>(p[1]);
        out[3] = static_cast<char>(p[2]);
      }
    }
    GVariant* bytes =
        g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, argb.data(), argb.size(), 1);
    g_variant_builder_add(&all, "(ii@ay)", size, size, bytes);
  }
  return g_variant_ref_sink(g_variant_builder_end(&all));
}

}  // namespace

bool NotifierItem::host_present(GDBusConnection* bus) {
  return desktop::notifier_host_present(bus);
}

NotifierItem::NotifierItem(GDBusConnection* bus, const std::string& id, GdkPixbuf* icon,
                           GdkPixbuf* alert, const std::vector<MenuEntry>& menu,
                           Listener listener)
    : bus_(GObjectPtr<GDBusConnection>::share(bus)),
      id_(id),
      bus_name_("org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-1"),
      listener_(std::move(listener)),
      icon_(pixmaps(icon)),
      alert_(pixmaps(alert)) {
  static const GDBusInterfaceVTable vtable = {on_method, on_property, nullptr, {}};
  object_ = g_dbus_connection_register_object(bus, kItemPath, introspection()->interfaces[0],
                                              &vtable, this, nullptr, nullptr);
  menu_root_ = GObjectPtr<DbusmenuMenuitem>::adopt(dbusmenu_menuitem_new());
  for (std::size_t i = 0; i < menu.size(); ++i) {
    DbusmenuMenuitem* item = dbusmenu_menuitem_new();
    dbusmenu_menuitem_property_set(item, DBUSMENU_MENUITEM_PROP_LABEL, menu[i].label.c_str());
    if (menu[i].checkable) {
      dbusmenu_menuitem_property_set(item, DBUSMENU_MENUITEM_PROP_TOGGLE_TYPE,
                                     DBUSMENU_MENUITEM_TOGGLE_CHECK);
      dbusmenu_menuitem_property_set_int(item, DBUSMENU_MENUITEM_PROP_TOGGLE_STATE,
                                         menu[i].checked ? DBUSMENU_MENUITEM_TOGGLE_STATE_CHECKED
                                                         : DBUSMENU_MENUITEM_TOGGLE_STATE_UNCHECKED);
    }
    g_object_set_data(G_OBJECT(item), "quorvel-index", GINT_TO_POINTER(static_cast<int>(i)));
    g_signal_connect(item, DBUSMENU_MENUITEM_SIGNAL_ITEM_ACTIVATED,
                     G_CALLBACK(on_item_activated), this);
    dbusmenu_menuitem_child_append(menu_root_.get(), item);
    menu_items_.push_back(item);
    g_object_unref(item);  // the root holds it
  }
  menu_server_ = GObjectPtr<DbusmenuServer>::adopt(dbusmenu_server_new(kMenuPath));
  dbusmenu_server_set_root(menu_server_.get(), menu_root_.get());
  name_ = g_bus_own_name_on_connection(bus, bus_name_.c_str(), G_BUS_NAME_OWNER_FLAGS_NONE,
                                       nullptr, nullptr, nullptr, nullptr);
  // Registered now and whenever a watcher (re)appears.
  watch_ = g_bus_watch_name_on_connection(bus, kWatcher, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                          on_watcher, nullptr, this, nullptr);
}

NotifierItem::~NotifierItem() {
  for (DbusmenuMenuitem* item : menu_items_) g_signal_handlers_disconnect_by_data(item, this);
  if (watch_ != 0) g_bus_unwatch_name(watch_);
  if (name_ != 0) g_bus_unown_name(name_);
  if (object_ != 0) g_dbus_connection_unregister_object(bus_.get(), object_);
  g_variant_unref(icon_);
  g_variant_unref(alert_);
}

void NotifierItem::on_watcher(GDBusConnection* bus, const gchar*, const gchar*, gpointer self) {
  auto* me = static_cast<NotifierItem*>(self);
  g_dbus_connection_call(bus, kWatcher, kWatcherPath, kWatcher, "RegisterStatusNotifierItem",
                         g_variant_new("(s)", me->bus_name_.c_str()), nullptr,
                         G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
}

void NotifierItem::on_item_activated(DbusmenuMenuitem* item, guint, gpointer self) {
  auto* me = static_cast<NotifierItem*>(self);
  const int index = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), "quorvel-index"));
  if (me->listener_.chosen) me->listener_.chosen(index);
}

void NotifierItem::on_method(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                             const gchar* method, GVariant* parameters,
                             GDBusMethodInvocation* invocation, gpointer self) {
  auto* me = static_cast<NotifierItem*>(self);
  const std::string name = method;
  // Answered first: a handler may open a modal box (the exit question).
  g_dbus_method_invocation_return_value(invocation, nullptr);
  if (name == "Activate" || name == "SecondaryActivate") {
    if (me->listener_.activated) me->listener_.activated();
  } else if (name == "ContextMenu") {
    gint x = 0, y = 0;
    g_variant_get(parameters, "(ii)", &x, &y);
    if (me->listener_.menu) me->listener_.menu(x, y);
  }
}

const char* NotifierItem::status() const {
  if (!visible_) return "Passive";
  return attention_ ? "NeedsAttention" : "Active";
}

GVariant* NotifierItem::on_property(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                    const gchar* property, GError**, gpointer self) {
  auto* me = static_cast<NotifierItem*>(self);
  const std::string name = property;
  if (name == "Category") return g_variant_new_string("Communications");
  if (name == "Id") return g_variant_new_string(me->id_.c_str());
  if (name == "Title") return g_variant_new_string(me->tip_.c_str());
  if (name == "Status") return g_variant_new_string(me->status());
  if (name == "WindowId") return g_variant_new_int32(0);
  if (name == "IconPixmap") return g_variant_ref(me->icon_);
  if (name == "AttentionIconPixmap") return g_variant_ref(me->alert_);
  if (name == "OverlayIconPixmap") return g_variant_new_array(G_VARIANT_TYPE("(iiay)"), nullptr, 0);
  if (name == "ToolTip") {
    return g_variant_new("(s@a(iiay)ss)", "", g_variant_new_array(G_VARIANT_TYPE("(iiay)"), nullptr, 0),
                         me->tip_.c_str(), "");
  }
  if (name == "ItemIsMenu") return g_variant_new_boolean(FALSE);
  if (name == "Menu") return g_variant_new_object_path(kMenuPath);
  return g_variant_new_string("");  // the icon names: pictures are given instead
}

void NotifierItem::emit(const char* signal, GVariant* parameters) {
  g_dbus_connection_emit_signal(bus_.get(), nullptr, kItemPath, kInterface, signal, parameters,
                                nullptr);
}

void NotifierItem::set_tip(const std::string& tip) {
  if (tip == tip_) return;
  tip_ = tip;
  emit("NewTitle", nullptr);
  emit("NewToolTip", nullptr);
}

void NotifierItem::set_attention(bool attention) {
  if (attention == attention_) return;
  attention_ = attention;
  emit("NewStatus", g_variant_new("(s)", status()));
}

void NotifierItem::set_visible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  emit("NewStatus", g_variant_new("(s)", status()));
}

void NotifierItem::set_checked(int index, bool checked) {
  if (index < 0 || static_cast<std::size_t>(index) >= menu_items_.size()) return;
  dbusmenu_menuitem_property_set_int(menu_items_[index], DBUSMENU_MENUITEM_PROP_TOGGLE_STATE,
                                     checked ? DBUSMENU_MENUITEM_TOGGLE_STATE_CHECKED
                                             : DBUSMENU_MENUITEM_TOGGLE_STATE_UNCHECKED);
}

}  // namespace quorvel::gtk
