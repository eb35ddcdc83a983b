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

// Where the web view keeps cookies and site storage, so that the agent's
// login survives a restart: $XDG_DATA_HOME/quorvel on Linux,
// %LOCALAPPDATA%\Quorvel on Windows; created when missing.
[[nodiscard]] Text data_directory();

}  // namespace quorvel::config
