#include <X11/Xlib.h>
#include <dlfcn.h>
#include <gio/gio.h>

#include <cstdlib>
#include <string>

#include "base/file.h"
#include "desktop/tray_hosts.h"
#include "tools/doctor.h"

namespace quorvel::tool {
namespace {

std::string environment(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? v : "";
}

// The library stays loaded: threads its dependencies start while they
// load would run on in unloaded code after a dlclose.
Check engine() {
  void* library = dlopen("libwebkit2gtk-4.1.so.0", RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE);
  if (library == nullptr) {
    const char* error = dlerror();
    return {false, "web engine", std::string("WebKitGTK 4.1 cannot be loaded: ") +
                                     (error != nullptr ? error : "?")};
  }
  return {true, "web engine", "WebKitGTK 4.1 loads"};
}

bool notifier_host() {
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  const bool present = desktop::notifier_host_present(bus);
  if (bus != nullptr) g_object_unref(bus);
  return present;
}

bool xembed_tray(const std::string& display) {
  if (display.empty()) return false;
  Display* x = XOpenDisplay(display.c_str());
  const bool present = desktop::xembed_tray_present(x);
  if (x != nullptr) XCloseDisplay(x);
  return present;
}

}  // namespace

void platform_checks(const Report& report) {
  report(engine());
  const std::string x = environment("DISPLAY"), wayland = environment("WAYLAND_DISPLAY");
  Display* opened = x.empty() ? nullptr : XOpenDisplay(x.c_str());
  if (opened != nullptr) XCloseDisplay(opened);
  if (opened != nullptr && !wayland.empty()) {
    report({true, "display", "Wayland, the client through XWayland (" + x + ")"});
  } else if (opened != nullptr) {
    report({true, "display", "X11 (" + x + ")"});
  } else if (!wayland.empty()) {
    report({true, "display", "Wayland without X: window places are the compositor's"});
  } else {
    report({false, "display", "none reachable (DISPLAY and WAYLAND_DISPLAY)"});
  }
  if (notifier_host()) {
    report({true, "tray", "a StatusNotifierItem host"});
  } else if (xembed_tray(x)) {
    report({true, "tray", "an XEmbed tray"});
  } else {
    report({false, "tray", "none: the main window carries the tray's commands"});
  }
  // Where the client writes its engine library: beside it when a file of
  // that name is there, else the documents folder.
  const Text beside = file::directory_of(file::executable_path()) + "/WebView2Plus.so";
  const char* documents = g_get_user_special_dir(G_USER_DIRECTORY_DOCUMENTS);
  const std::string fallback =
      std::string(documents != nullptr ? documents : (environment("HOME") + "/Documents").c_str()) +
      "/ee/Plugins/WebView2Plus.so";
  if (g_file_test(to_utf8(beside).c_str(), G_FILE_TEST_EXISTS)) {
    report({true, "engine library", to_utf8(beside)});
  } else if (g_file_test(fallback.c_str(), G_FILE_TEST_EXISTS)) {
    report({true, "engine library", fallback});
  } else {
    report({true, "engine library", "not written yet (" + fallback + ")"});
  }
}

}  // namespace quorvel::tool
