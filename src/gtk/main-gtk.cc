// quorvel: the desktop client on Linux.
#include <gtk/gtk.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "base/trace.h"
#include "base/yield.h"
#include "gtk/desktop_services.h"
#include "gtk/gtk_ui.h"
#include "gtk/single_instance.h"
#include "program/program.h"

namespace quorvel::embedded {
extern const unsigned char engine_image[];
extern const std::size_t engine_image_size;
}  // namespace quorvel::embedded

namespace {

// One non-blocking pass over pending events, for long work on this thread.
void run_pending_events() {
  g_main_context_iteration(nullptr, FALSE);
}

// Window places, the notice's place at the bottom right and always-on-top
// need X: under Wayland the client goes through XWayland when it can.
void choose_display_backend() {
  if (std::getenv("GDK_BACKEND") != nullptr || std::getenv("WAYLAND_DISPLAY") == nullptr) return;
  if (std::getenv("DISPLAY") != nullptr) {
    gdk_set_allowed_backends("x11");
    return;
  }
  std::fprintf(stderr,
               "quorvel: no X display: running on Wayland itself; window places, the notice's "
               "place and always-on-top are left to the compositor\n");
}

}  // namespace

int main(int argc, char** argv) {
  // Answered without a window, before GTK sees the arguments.
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--version") {
      std::printf("quorvel %s\n", QUORVEL_VERSION);
      return 0;
    }
  }
  // GTK takes its own arguments (--display); ours are --version and the
  // autostart entry's.
  quorvel::trace("start");
  choose_display_backend();
  // The desktop file's name as the window class (X11) and application id
  // (Wayland), so that docks and task lists show its name and icon.
  g_set_prgname(quorvel::gtk::kApplicationId);
  gtk_init(&argc, &argv);
  quorvel::trace("toolkit ready");
  std::setlocale(LC_NUMERIC, "C");
  quorvel::set_yield_hook(run_pending_events);

  // Before any window: a second start only calls the first forward.
  quorvel::gtk::GtkUi* running_ui = nullptr;
  quorvel::app::Client* running_client = nullptr;
  quorvel::gtk::SingleInstance instance;
  const auto claim = instance.claim({[&] {
                                       if (running_client != nullptr) running_client->bring_forward();
                                     },
                                     [&] {
                                       if (running_ui != nullptr) running_ui->quit_for_session();
                                     }});
  if (claim == quorvel::gtk::SingleInstance::Claim::Another) return 0;

  quorvel::gtk::GtkUi ui;
  running_ui = &ui;
  quorvel::trace("window layer ready");
  quorvel::gtk::DesktopServices desktop;
  quorvel::Program program(
      ui, ui,
      std::string_view(reinterpret_cast<const char*>(quorvel::embedded::engine_image),
                       quorvel::embedded::engine_image_size),
      &desktop);
  ui.set_events(&program.client);
  running_client = &program.client;
  ui.handle_end_of_session();
  ui.watch_system_news();
  bool with_session = false;
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == quorvel::gtk::kAutostartArgument) with_session = true;
  }
  program.client.start(with_session);
  g_idle_add(
      [](gpointer) {
        quorvel::trace("main loop idle");
        return G_SOURCE_REMOVE;
      },
      nullptr);
  ui.run();
  ui.set_events(nullptr);
  running_client = nullptr;
  return 0;
}
