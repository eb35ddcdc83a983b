// quorvel.exe: the desktop client on Windows.
#include <windows.h>

#include "app/client.h"
#include "app/services.h"
#include "base/file.h"
#include "base/yield.h"
#include "binding/server_lookup.h"
#include "webview/engine_view.h"
#include "win32/win32_ui.h"

namespace quorvel::embedded {
extern const unsigned char engine_image[];
extern const std::size_t engine_image_size;
}  // namespace quorvel::embedded

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  quorvel::set_yield_hook(quorvel::win32::Win32Ui::run_pending_messages);
  quorvel::win32::Win32Ui ui(instance);
  quorvel::app::ConfigSettings settings;
  quorvel::webview::EngineView view(
      std::string_view(reinterpret_cast<const char*>(quorvel::embedded::engine_image),
                       quorvel::embedded::engine_image_size),
      quorvel::file::directory_of(quorvel::file::executable_path()));
  quorvel::app::PlatformProcess process;
  quorvel::ConfigAnswerStore store;
  quorvel::app::Client client({ui, settings, view, process, ui, store,
                               quorvel::app::platform_http_get(),
                               quorvel::builtin_directory_address()});
  ui.set_client(&client);
  client.start();
  ui.run();
  ui.set_client(nullptr);
  return 0;
}
