// The client's one settings file, section "main", read and written key by
// key at the moment of use; nothing is cached, so another writer's change is
// seen at the next read.
#pragma once

#include <string_view>

#include "base/text.h"

namespace quorvel::config {

inline constexpr std::string_view kSection = "main";

// Beside the executable: its folder + "/config/config.ini", built anew for
// every access. On Linux, when the executable's folder cannot be written
// (a system-wide install), $XDG_CONFIG_HOME/quorvel/config.ini instead.
[[nodiscard]] Text file_path();

[[nodiscard]] Text read_key(std::string_view key);
// The result is only informative: a write that fails leaves the file as it
// was, and callers go on as if it had succeeded.
bool write_key(std::string_view key, std::string_view value);

}  // namespace quorvel::config
