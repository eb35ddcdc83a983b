// quorvel: the desktop client on Linux.
#include <gtk/gtk.h>

#include <clocale>

#include "app/client.h"
#include "app/services.h"
#include "base/file.h"
#include "base/yield.h"
#include "binding/server_lookup.h"
#include "gtk/gtk_ui.h"
#include "webview/engine_view.h"

namespace quorvel::embedded {
extern const unsigned char engine_image[];
extern const std::size_t engine_image_size;
}  // namespace quorvel::embedded

namespace {

// One non-blocking pass over pending events, for long work on this thread.
void run_pending_events() {
  g_main_context_iteration(nullptr, FALSE);
}

}  // namespace

int main(int argc, char** argv) {
  // No command-line argument is read; GTK still takes its own (--display).
  gtk_init(&argc, &argv);
  std::setlocale(LC_NUMERIC, "C");
  quorvel::set_yield_hook(run_pending_events);

  quorvel::gtk::GtkUi ui;
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
