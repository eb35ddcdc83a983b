// The tray icon as desktops without an XEmbed tray show it (GNOME with its
// extension, KDE, and any Wayland session): a StatusNotifierItem of our own
// on the session bus, its menu served as a dbusmenu, registered with the
// StatusNotifierWatcher and again whenever the watcher restarts. A click
// on the item is the tray's left click; the item asks for attention while
// messages are unread, which hosts show with the alert picture.
#pragma once

#include <gio/gio.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <functional>
#include <string>
#include <vector>

#include "gtk/gobject_ptr.h"

typedef struct _DbusmenuServer DbusmenuServer;
typedef struct _DbusmenuMenuitem DbusmenuMenuitem;

namespace quorvel::gtk {

class NotifierItem {
 public:
  struct Listener {
    std::function<void()> activated;         // the item was clicked
    std::function<void(int x, int y)> menu;  // the host wants our own menu
    std::function<void(int index)> chosen;   // a menu item, by its index
  };
  struct MenuEntry {
    std::string label;  // UTF-8
    bool checkable = false;
    bool checked = false;
  };

  // Whether a watcher with a host to show items runs on this bus.
  [[nodiscard]] static bool host_present(GDBusConnection* bus);

  NotifierItem(GDBusConnection* bus, const std::string& id, GdkPixbuf* icon, GdkPixbuf* alert,
               const std::vector<MenuEntry>& menu, Listener listener);
  ~NotifierItem();
  NotifierItem(const NotifierItem&) = delete;
  NotifierItem& operator=(const NotifierItem&) = delete;

  // Title and tooltip (UTF-8), and whether it asks for attention.
  void set_tip(const std::string& tip);
  void set_attention(bool attention);
  void set_visible(bool visible);
  void set_checked(int index, bool checked);

  [[nodiscard]] const std::string& bus_name() const { return bus_name_; }

 private:
  static void on_method(GDBusConnection*, const gchar* sender, const gchar* path,
                        const gchar* interface, const gchar* method, GVariant* parameters,
                        GDBusMethodInvocation* invocation, gpointer self);
  static GVariant* on_property(GDBusConnection*, const gchar* sender, const gchar* path,
                               const gchar* interface, const gchar* property, GError** error,
                               gpointer self);
  static void on_watcher(GDBusConnection*, const gchar* name, const gchar* owner, gpointer self);
  static void on_item_activated(DbusmenuMenuitem* item, guint timestamp, gpointer self);
  void emit(const char* signal, GVariant* parameters);
  [[nodiscard]] const char* status() const;

  GObjectPtr<GDBusConnection> bus_;
  std::string id_;
  std::string bus_name_;
  std::string tip_;
  bool attention_ = false;
  bool visible_ = true;
  Listener listener_;
  GVariant* icon_ = nullptr;   // a(iiay), owned
  GVariant* alert_ = nullptr;  // a(iiay), owned
  guint object_ = 0;
  guint name_ = 0;
  guint watch_ = 0;
  GObjectPtr<DbusmenuServer> menu_server_;
  GObjectPtr<DbusmenuMenuitem> menu_root_;
  std::vector<DbusmenuMenuitem*> menu_items_;  // the root's children
};

}  // namespace quorvel::gtk
