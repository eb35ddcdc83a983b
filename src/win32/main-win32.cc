// quorvel.exe: the desktop client on Windows.
#include <windows.h>
#include <shellapi.h>

#include <string_view>

#include "base/yield.h"
#include "program/program.h"
#include "win32/desktop_services.h"
#include "win32/single_instance.h"
#include "win32/win32_ui.h"

namespace quorvel::embedded {
extern const unsigned char engine_image[];
extern const std::size_t engine_image_size;
}  // namespace quorvel::embedded

namespace {

// Whether the program was started with the argument.
bool has_argument(std::wstring_view wanted) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  bool found = false;
  for (int i = 1; arguments != nullptr && i < count; ++i) {
    if (std::wstring_view(arguments[i]) == wanted) found = true;
  }
  LocalFree(arguments);
  return found;
}

// A program of the window subsystem has no console of its own: the version
// goes to its parent's, when there is one, and its exit code says it ran.
void print_version() {
  if (AttachConsole(ATTACH_PARENT_PROCESS)) {
    const char text[] = "quorvel " QUORVEL_VERSION "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, sizeof text - 1, &written, nullptr);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  using namespace quorvel;
  if (has_argument(L"--version")) {
    print_version();
    return 0;
  }
  // Before any window: a second start only calls the first forward.
  win32::SingleInstance single;
  if (single.claim() == win32::SingleInstance::Claim::Another) {
    win32::call_first_forward();
    return 0;
  }
  set_yield_hook(win32::Win32Ui::run_pending_messages);
  win32::Win32Ui ui(instance);
  win32::DesktopServices desktop;
  Program program(ui, ui,
                  std::string_view(reinterpret_cast<const char*>(embedded::engine_image),
                                   embedded::engine_image_size),
                  &desktop);
  ui.set_events(&program.client);
  ui.on_bring_forward([&program] { program.client.bring_forward(); });
  ui.watch_system_news();
  program.client.start(has_argument(win32::kAutostartArgument));
  ui.run();
  ui.set_events(nullptr);
  return 0;
}
