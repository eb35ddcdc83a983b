#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "webview/engine_loader.h"

namespace quorvel::webview {

Text engine_file_name() {
  return "WebView2Plus.so";
}

bool load_engine(const Text& path, EngineExports& e) {
  void* library = dlopen(to_utf8(path).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* reason = dlerror();
    std::fprintf(stderr, "quorvel: the web engine library cannot be loaded: %s\n",
                 reason != nullptr ? reason : "unknown reason");
    return false;
  }
  e.dllwrite = reinterpret_cast<qv_dllwrite_fn>(dlsym(library, "webview2_dllwrite"));
  e.has_edge = reinterpret_cast<qv_has_edge_fn>(dlsym(library, "ormixwebview_has_edge"));
  e.init = reinterpret_cast<qv_init_fn>(dlsym(library, "ormixwebview_init"));
  e.log = reinterpret_cast<qv_log_fn>(dlsym(library, "ormixwebview_log"));
  e.open = reinterpret_cast<qv_open_fn>(dlsym(library, "ormixwebview_open"));
  e.set_option = reinterpret_cast<qv_set_option_fn>(dlsym(library, "ormixwebview_set_option"));
  return e.dllwrite != nullptr && e.has_edge != nullptr && e.init != nullptr && e.log != nullptr &&
         e.open != nullptr;
}

Text runtime_missing_message() {
  return from_utf8("缺少WebKitGTK运行库，请点击安装");
}

Text documents_directory() {
  const char* home_env = std::getenv("HOME");
  const std::string home = home_env != nullptr ? home_env : "";
  // The XDG user directories file names it as XDG_DOCUMENTS_DIR="$HOME/…".
  const char* config_env = std::getenv("XDG_CONFIG_HOME");
  const std::string config =
      config_env != nullptr && config_env[0] == '/' ? std::string(config_env) : home + "/.config";
  std::ifstream dirs(config + "/user-dirs.dirs");
  std::string line;
  while (std::getline(dirs, line)) {
    const std::string key = "XDG_DOCUMENTS_DIR=\"";
    if (line.rfind(key, 0) != 0 || line.size() < key.size() + 1 || line.back() != '"') continue;
    std::string value = line.substr(key.size(), line.size() - key.size() - 1);
    if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
    if (!value.empty() && value[0] == '/') return from_utf8(value);
  }
  return from_utf8(home + "/Documents");
}

void make_writable(const Text& path) {
  const std::string native = to_utf8(path);
  struct stat info {};
  if (stat(native.c_str(), &info) == 0) chmod(native.c_str(), info.st_mode | S_IWUSR);
}

}  // namespace quorvel::webview
