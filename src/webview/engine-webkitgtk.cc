// The engine library on Linux, over WebKitGTK: the five exports and the
// view, converter and event objects of engine_api.h. The client loads it at
// run time, so that the client itself never links WebKitGTK.
#include <dirent.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/text.h"
#include "webview/engine_api.h"
#include "webview/engine_objects.h"

namespace {

// The core's conversions, so that a byte that does not convert becomes
// U+FFFD here as everywhere else.
std::string to_internal(const std::string& utf8) {
  return quorvel::from_utf8(utf8);
}
std::string to_utf8(const char* internal) {
  return quorvel::to_utf8(internal != nullptr ? internal : "");
}

void notify(qv_event_proc proc, const std::string& internal_text) {
  notify_text(proc, internal_text.c_str());
}

void log_line(const std::string& line) {
  std::fprintf(stderr, "quorvel engine: %s\n", line.c_str());
  notify(log_proc, to_internal(line));
}

// Without a GPU, WebKit's compositing falls back to software OpenGL, which
// paints the first frame seconds late and costs a lot of memory: turn it
// off then, keep the default where a render node exists.
bool has_render_node() {
  DIR* dir = opendir("/dev/dri");
  if (dir == nullptr) return false;
  bool found = false;
  while (dirent* entry = readdir(dir)) {
    if (std::strncmp(entry->d_name, "renderD", 7) == 0) found = true;
  }
  closedir(dir);
  return found;
}

// --- the view ---------------------------------------------------------------

struct View {
  qv_view base;
  WebKitWebView* web = nullptr;
  GtkWidget* host = nullptr;
};

View* view_of(qv_view* self) {
  return reinterpret_cast<View*>(self);
}

void QV_CALL view_reload(qv_view* self) {
  if (WebKitWebView* web = view_of(self)->web) webkit_web_view_reload(web);
}

void QV_CALL view_close_first(qv_view* self) {
  if (WebKitWebView* web = view_of(self)->web) webkit_web_view_stop_loading(web);
}

void QV_CALL view_set_bounds(qv_view* self, int left, int, int top, int, int width, int, int height,
                             int) {
  View* v = view_of(self);
  if (v->web == nullptr || v->host == nullptr) return;
  GtkWidget* widget = GTK_WIDGET(v->web);
  if (GTK_IS_FIXED(v->host)) gtk_fixed_move(GTK_FIXED(v->host), widget, left, top);
  gtk_widget_set_size_request(widget, width > 1 ? width : 1, height > 1 ? height : 1);
}

void QV_CALL view_close_second(qv_view* self) {
  View* v = view_of(self);
  if (v->web == nullptr) return;
  gtk_widget_destroy(GTK_WIDGET(v->web));
  v->web = nullptr;
}

qv_result* QV_CALL view_run_script(qv_view* self, const char* script, intptr_t, intptr_t, intptr_t,
                                   intptr_t) {
  qv_result* result = new_result();
  View* v = view_of(self);
  if (v->web == nullptr || script == nullptr) return result;
  const std::string code = to_utf8(script);
  webkit_web_view_evaluate_javascript(v->web, code.c_str(), static_cast<gssize>(code.size()),
                                      nullptr, nullptr, nullptr, nullptr, nullptr);
  return result;
}

const qv_view_ops kViewOps = {view_reload,     view_close_first, view_set_bounds, view_close_second,
                              view_run_script, set_first_hook,   set_second_hook, release_result};
View the_view{{&kViewOps}};

// --- WebKit's signals ----------------------------------------------------------

void on_load_changed(WebKitWebView* web, WebKitLoadEvent event, gpointer) {
  if (event != WEBKIT_LOAD_FINISHED) return;
  const char* uri = webkit_web_view_get_uri(web);
  notify(page_loaded_proc, to_internal(uri != nullptr ? uri : ""));
}

G_GNUC_BEGIN_IGNORE_DEPRECATIONS
void on_console(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer) {
  JSCValue* value = webkit_javascript_result_get_js_value(result);
  char* text = jsc_value_to_string(value);
  if (text != nullptr) {
    notify(console_proc, to_internal(text));
    g_free(text);
  }
}
G_GNUC_END_IGNORE_DEPRECATIONS

}  // namespace

extern "C" {

QV_EXPORT void QV_CALL webview2_dllwrite(void) {}

QV_EXPORT int QV_CALL ormixwebview_has_edge(void) {
  // Loading this library needed the runtime; a usable one reports 2.x.
  return webkit_get_major_version() >= 2 ? 1 : 0;
}

QV_EXPORT void QV_CALL ormixwebview_init(int, qv_converter** converter, qv_events** events) {
  hand_out_objects(converter, events);
}

QV_EXPORT void QV_CALL ormixwebview_log(qv_event_proc proc) {
  log_proc = proc;
}

QV_EXPORT qv_view* QV_CALL ormixwebview_open(intptr_t host, const char* url, qv_open_options*) {
  auto* panel = reinterpret_cast<GtkWidget*>(host);
  if (panel == nullptr || !GTK_IS_CONTAINER(panel) || the_view.web != nullptr) return nullptr;

  WebKitUserContentManager* content = webkit_user_content_manager_new();
  WebKitUserScript* bridge = webkit_user_script_new(
      console_bridge("window.webkit.messageHandlers.quorvel.postMessage").c_str(),
      WEBKIT_USER_CONTENT_INJECT_TOP_FRAME, WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr,
      nullptr);
  webkit_user_content_manager_add_script(content, bridge);
  webkit_user_script_unref(bridge);
  g_signal_connect(content, "script-message-received::quorvel", G_CALLBACK(on_console), nullptr);
  webkit_user_content_manager_register_script_message_handler(content, "quorvel");

  // The policy alone still has the web process set up its compositor; the
  // variable, read when that process starts, spares it that.
  const bool gpu = has_render_node();
  if (!gpu) g_setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", FALSE);
  WebKitWebView* web =
      WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "user-content-manager", content, nullptr));
  g_object_unref(content);
  WebKitSettings* settings = webkit_web_view_get_settings(web);
  if (!gpu) {
    webkit_settings_set_hardware_acceleration_policy(settings,
                                                     WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  }
  log_line(gpu ? "GPU render node found: WebKit's default compositing"
               : "no GPU render node: compositing off");
  g_signal_connect(web, "load-changed", G_CALLBACK(on_load_changed), nullptr);

  GtkWidget* widget = GTK_WIDGET(web);
  if (GTK_IS_FIXED(panel)) {
    gtk_fixed_put(GTK_FIXED(panel), widget, 0, 0);
  } else {
    gtk_container_add(GTK_CONTAINER(panel), widget);
  }
  GtkAllocation area;
  gtk_widget_get_allocation(panel, &area);
  gtk_widget_set_size_request(widget, area.width > 1 ? area.width : 1,
                              area.height > 31 ? area.height - 30 : 1);
  gtk_widget_show(widget);
  the_view.web = web;
  the_view.host = panel;
  if (url != nullptr && url[0] != '\0') webkit_web_view_load_uri(web, to_utf8(url).c_str());
  return &the_view.base;
}

}  // extern "C"
