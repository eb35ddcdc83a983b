#include "gtk/desktop_services.h"

#include <canberra.h>
#include <gio/gio.h>
#include <glib/gstdio.h>

#include <cstdio>

#include "app/process.h"
#include "base/file.h"
#include "base/text.h"
#include "gtk/single_instance.h"

namespace quorvel::embedded {
extern const unsigned char message_sound[];
extern const std::size_t message_sound_size;
}  // namespace quorvel::embedded

namespace quorvel::gtk {
namespace {

// The program's own path, quoted as desktop files quote an Exec argument.
std::string exec_line() {
  const std::string program = to_utf8(file::executable_path());
  std::string quoted = "\"";
  for (const char c : program) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\" " + kAutostartArgument;
}

}  // namespace

DesktopServices::DesktopServices() {
  if (ca_context_create(&sound_) != CA_SUCCESS) sound_ = nullptr;
  GSettingsSchemaSource* schemas = g_settings_schema_source_get_default();
  GSettingsSchema* schema =
      schemas != nullptr
          ? g_settings_schema_source_lookup(schemas, "org.gnome.desktop.notifications", TRUE)
          : nullptr;
  if (schema != nullptr) {
    if (g_settings_schema_has_key(schema, "show-banners")) {
      notifications_ = g_settings_new("org.gnome.desktop.notifications");
    }
    g_settings_schema_unref(schema);
  }
}

DesktopServices::~DesktopServices() {
  if (sound_ != nullptr) ca_context_destroy(sound_);
  if (notifications_ != nullptr) g_object_unref(notifications_);
}

// The client's own sound, written once to the user's cache for the sound
// server to read; empty when it could not be written.
std::string DesktopServices::own_sound_file() {
  if (!own_sound_.empty()) return own_sound_;
  const std::string folder = std::string(g_get_user_cache_dir()) + "/quorvel";
  const std::string path = folder + "/message.wav";
  const std::string_view bytes(reinterpret_cast<const char*>(embedded::message_sound),
                               embedded::message_sound_size);
  if (g_mkdir_with_parents(folder.c_str(), 0700) == 0 &&
      (file::read(from_utf8(path)) == std::string(bytes) ||
       file::replace_contents(from_utf8(path), bytes))) {
    own_sound_ = path;
  }
  return own_sound_;
}

void DesktopServices::play_message_sound() {
  int result =
      sound_ == nullptr
          ? CA_ERROR_NOTAVAILABLE
          : ca_context_play(sound_, 0, CA_PROP_EVENT_ID, "message-new-instant",
                            CA_PROP_EVENT_DESCRIPTION, "New visitor message", nullptr);
  std::fprintf(stderr, "quorvel: sound message-new-instant: %s\n", ca_strerror(result));
  // A desktop without a sound theme has no such sound: the client's own.
  if (result != CA_ERROR_NOTFOUND) return;
  const std::string own = own_sound_file();
  result = own.empty() ? CA_ERROR_NOTFOUND
                       : ca_context_play(sound_, 0, CA_PROP_MEDIA_FILENAME, own.c_str(),
                                         CA_PROP_EVENT_DESCRIPTION, "New visitor message", nullptr);
  std::fprintf(stderr, "quorvel: sound (the client's own) %s: %s\n", own.c_str(),
               ca_strerror(result));
}

bool DesktopServices::do_not_disturb() {
  return notifications_ != nullptr && !g_settings_get_boolean(notifications_, "show-banners");
}

// GIO's default handler for the address's scheme (the browser, the mail
// program), started with the permissions the client was started with.
bool DesktopServices::open_on_desktop(std::string_view address) {
  return launch_default(to_utf8(address));
}

// GLib's notification through the session's notification service; a click
// on it activates the application, which brings the client forward.
bool DesktopServices::show_notification(std::string_view title, std::string_view body) {
  GApplication* app = g_application_get_default();
  if (app == nullptr || !g_application_get_is_registered(app)) return false;
  GDBusConnection* bus = g_application_get_dbus_connection(app);
  if (bus == nullptr) return false;
  GVariant* owned = g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
      g_variant_new("(s)", "org.freedesktop.Notifications"), G_VARIANT_TYPE("(b)"),
      G_DBUS_CALL_FLAGS_NONE, 1000, nullptr, nullptr);
  gboolean present = FALSE;
  if (owned != nullptr) {
    g_variant_get(owned, "(b)", &present);
    g_variant_unref(owned);
  }
  if (present == FALSE) return false;
  GNotification* notification = g_notification_new(to_utf8(title).c_str());
  g_notification_set_body(notification, to_utf8(body).c_str());
  g_application_send_notification(app, "page", notification);
  g_object_unref(notification);
  return true;
}

Text DesktopServices::download_folder() {
  const char* folder = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD);
  if (folder != nullptr) return from_utf8(folder);
  return from_utf8(std::string(g_get_home_dir()) + "/Downloads");
}

bool DesktopServices::open_file(std::string_view path) {
  char* uri = g_filename_to_uri(to_utf8(path).c_str(), nullptr, nullptr);
  const bool launched = uri != nullptr && launch_default(uri);
  g_free(uri);
  return launched;
}

// The file manager's own way to show a file where it is, else its folder.
bool DesktopServices::show_in_folder(std::string_view path) {
  char* uri = g_filename_to_uri(to_utf8(path).c_str(), nullptr, nullptr);
  if (uri == nullptr) return false;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  GVariant* reply = nullptr;
  if (bus != nullptr) {
    const char* items[] = {uri, nullptr};
    reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
        "org.freedesktop.FileManager1", "ShowItems", g_variant_new("(^ass)", items, ""), nullptr,
        G_DBUS_CALL_FLAGS_NO_AUTO_START, 2000, nullptr, nullptr);
    g_object_unref(bus);
  }
  g_free(uri);
  if (reply != nullptr) {
    g_variant_unref(reply);
    return true;
  }
  char* folder = g_filename_to_uri(to_utf8(file::directory_of(Text(path))).c_str(), nullptr, nullptr);
  const bool launched = folder != nullptr && launch_default(folder);
  g_free(folder);
  return launched;
}

bool DesktopServices::launch_default(const std::string& uri) {
  GError* error = nullptr;
  gboolean launched = FALSE;
  process::with_started_permissions(
      [&] { launched = g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error); });
  if (launched) return true;
  std::fprintf(stderr, "quorvel: no program took %s: %s\n", uri.c_str(),
               error != nullptr ? error->message : "?");
  g_clear_error(&error);
  return false;
}

std::string DesktopServices::autostart_path() {
  return std::string(g_get_user_config_dir()) + "/autostart/" + kApplicationId + ".desktop";
}

bool DesktopServices::starts_with_session() {
  return g_file_test(autostart_path().c_str(), G_FILE_TEST_IS_REGULAR) != FALSE;
}

bool DesktopServices::set_starts_with_session(bool enabled) {
  const std::string path = autostart_path();
  if (!enabled) return g_remove(path.c_str()) == 0 || !starts_with_session();
  const std::string folder = std::string(g_get_user_config_dir()) + "/autostart";
  if (g_mkdir_with_parents(folder.c_str(), 0700) != 0) return false;
  const std::string entry =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=Quorvel Desk\n"
      "Name[zh_CN]=Quorvel在线客服\n"
      "Exec=" + exec_line() + "\n"
      "Icon=" + kApplicationId + "\n"
      "X-GNOME-Autostart-enabled=true\n";
  return file::replace_contents(from_utf8(path), entry);
}

}  // namespace quorvel::gtk
