// quorvel: the desktop client on Linux.
#include <gtk/gtk.h>

#include <clocale>

#include "app/client.h"
#include "app/services.h"
#include "base/yield.h"
#include "binding/server_lookup.h"
#include "gtk/gtk_ui.h"
#include "http/http_request.h"
#include "webview/web_view.h"

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
  quorvel::webview::NoWebView view;
  quorvel::app::PlatformProcess process;
  quorvel::ConfigAnswerStore store;
  quorvel::app::Client client({ui, settings, view, process, ui, store,
                               [](std::string_view url, quorvel::Text& status) {
                                 return quorvel::http::http_request(url, 0, {}, nullptr, nullptr,
                                                                    {}, nullptr, false, {}, {}, {},
                                                                    {}, {}, 0, nullptr, &status);
                               },
                               quorvel::builtin_directory_address()});
  ui.set_client(&client);
  client.start();
  ui.run();
  ui.set_client(nullptr);
  return 0;
}
