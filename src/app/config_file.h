// The client's one settings file, section "main", read and written key by
// key at the moment of use; nothing is cached, so another writer's change is
// seen at the next read.
#pragma once

#include <string_view>

#include "base/text.h"

namespace quorvel::config {

inline constexpr std::string_view kSection = "main";

// Beside the executable: its folder + "/config/config.ini", built anew for
// every access, when that config folder exists and can be written; else the
// user's own file: $XDG_CONFIG_HOME/quorvel/config.ini on Linux,
// %APPDATA%\Quorvel\config.ini on Windows.
[[nodiscard]] Text file_path();
// The same for a program in the given folder.
[[nodiscard]] Text file_path_for(const Text& program_directory);

[[nodiscard]] Text read_key(std::string_view key);
// The result is only informative: a write that fails leaves the file as it
// was, and callers go on as if it had succeeded.
bool write_key(std::string_view key, std::string_view value);

}  // namespace quorvel::config
