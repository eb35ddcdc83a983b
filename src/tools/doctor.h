// quorvel-tool doctor: what a support person asks for first. One line per
// check, "ok" or "fail", what was checked and why it failed: the settings
// file, the binding, the directory and the site, the web engine, the tray,
// the display and the engine library's place. Exit status 0 when every
// check holds, 1 otherwise.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/tool_commands.h"

namespace quorvel::tool {

struct Check {
  bool ok = false;
  std::string what;    // UTF-8, as printed after "ok"/"fail"
  std::string detail;  // UTF-8: the reason, or what was found
};

using Report = std::function<void(Check)>;

// The platform's own checks, each reported as soon as it is decided: the
// web engine loadable, the tray kind, the display, where the engine
// library is written.
void platform_checks(const Report& report);

// doctor [--directory URL]
int doctor(const std::vector<std::string>& args, Io& io);

}  // namespace quorvel::tool
