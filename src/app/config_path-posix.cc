#include <cstdlib>

#include "app/config_file.h"
#include "base/file.h"

namespace quorvel::config {
namespace {

Text environment(const char* name) {
  const char* v = std::getenv(name);
  return v ? from_utf8(v) : Text();
}

// A system-wide install cannot write beside its executable; its settings go
// to the user's configuration folder, which is created when missing.
Text user_config_path() {
  Text base = environment("XDG_CONFIG_HOME");
  if (base.empty() || base[0] != '/') base = environment("HOME") + "/.config";
  const Text dir = base + "/quorvel";
  (void)file::make_directories(dir);
  return dir + "/config.ini";
}

}  // namespace

Text file_path() {
  const Text exe_dir = file::directory_of(file::executable_path());
  if (!exe_dir.empty() && !file::is_writable_directory(exe_dir)) return user_config_path();
  return exe_dir + "/config/config.ini";
}

}  // namespace quorvel::config
