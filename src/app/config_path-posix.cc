#include <cstdlib>

#include "app/config_file.h"
#include "base/file.h"

namespace quorvel::config {
namespace {

Text environment(const char* name) {
  const char* v = std::getenv(name);
  return v ? from_utf8(v) : Text();
}

// The user's configuration folder, created when missing.
Text user_config_path() {
  Text base = environment("XDG_CONFIG_HOME");
  if (base.empty() || base[0] != '/') base = environment("HOME") + "/.config";
  const Text dir = base + "/quorvel";
  (void)file::make_directories(dir);
  return dir + "/config.ini";
}

}  // namespace

// Beside the program when its config folder is there and can be written.
// A system-wide install has none (the program never creates it), and a
// binding written where it cannot be kept would be lost at the next start.
Text data_directory() {
  Text base = environment("XDG_DATA_HOME");
  if (base.empty() || base[0] != '/') base = environment("HOME") + "/.local/share";
  const Text dir = base + "/quorvel";
  // The login cookie lives there: the user's alone.
  (void)file::make_user_directory(dir);
  return dir;
}

Text file_path() {
  return file_path_for(file::directory_of(file::executable_path()));
}

Text file_path_for(const Text& program_directory) {
  const Text beside = program_directory + "/config";
  if (file::is_writable_directory(beside)) return beside + "/config.ini";
  return user_config_path();
}

}  // namespace quorvel::config
