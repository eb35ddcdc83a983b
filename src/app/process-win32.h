// Windows only: how the restart script names the program.
#pragma once

#include "base/text.h"

namespace quorvel::process {

// The program's short (8.3) path when it is plain ASCII. Otherwise the
// path goes into an environment variable that the script's process
// inherits, and the result names that variable ("%NAME%"), so that any
// path survives whatever code page cmd.exe reads the script in.
[[nodiscard]] Text restart_target(const Text& program);

}  // namespace quorvel::process
