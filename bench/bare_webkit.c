/* The physical limit of the engine: a bare GTK window with a WebKitGTK view
 * loading one page, nothing else. Used by bench/webview_bench.sh.
 *   bare_webkit URL */
#include <webkit2/webkit2.h>

static gboolean on_close(GtkWidget* window, GdkEvent* event, gpointer data) {
  (void)window;
  (void)event;
  (void)data;
  gtk_main_quit();
  return FALSE;
}

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  if (argc < 2) return 2;
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), 1080, 551);
  GtkWidget* view = webkit_web_view_new();
  gtk_container_add(GTK_CONTAINER(window), view);
  g_signal_connect(window, "delete-event", G_CALLBACK(on_close), NULL);
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), argv[1]);
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}
