// quorvel.exe: the desktop client on Windows.
#include <windows.h>

#include "base/yield.h"
#include "program/program.h"
#include "win32/win32_ui.h"

namespace quorvel::embedded {
extern const unsigned char engine_image[];
extern const std::size_t engine_image_size;
}  // namespace quorvel::embedded

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  using namespace quorvel;
  set_yield_hook(win32::Win32Ui::run_pending_messages);
  win32::Win32Ui ui(instance);
  Program program(ui, ui,
                  std::string_view(reinterpret_cast<const char*>(embedded::engine_image),
                                   embedded::engine_image_size));
  ui.set_events(&program.client);
  ui.watch_system_news();
  program.client.start();
  ui.run();
  ui.set_events(nullptr);
  return 0;
}
