// Restarts itself once through the restart script, for the Windows restart
// test. First start: writes "started" beside itself and restarts. The start
// by the script: writes "restarted" and ends.
#include <windows.h>

#include <string>

#include "app/process.h"
#include "base/file.h"

int main() {
  using namespace quorvel;
  const Text state = file::directory_of(file::executable_path()) + "\\probe-state.txt";
  if (file::read(state).value_or("") == "started") {
    return file::replace_contents(state, "restarted") ? 0 : 1;
  }
  if (!file::replace_contents(state, "started")) return 1;
  process::restart_program(1);
  static_cast<void>(file::replace_contents(state, "restart failed"));
  return 2;
}
