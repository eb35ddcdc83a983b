// The engine library on Linux, over WebKitGTK: the five exports and the
// view, converter and event objects of engine_api.h. The client loads it at
// run time, so that the client itself never links WebKitGTK.
#include <dirent.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "base/text.h"
#include "webview/engine_api.h"
#include "webview/engine_objects.h"
#include "webview/webkit_certificates.h"

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

// What the host set before the first open.
struct Options {
  std::string data_directory;  // UTF-8
  int memory_limit_mb = 0;
  std::string extra_authority_pem;
  std::string spell_languages;  // comma-separated; empty: the desktop's and en_US
  bool devtools = false;
} options;

// --- the view ---------------------------------------------------------------

struct View {
  qv_view base;
  WebKitWebView* web = nullptr;
  WebKitWebContext* context = nullptr;
  GtkWidget* host = nullptr;
  // Certificates the agent trusted: "host:port" to SHA-256 fingerprint.
  std::map<std::string, std::string> allowed;
  std::set<std::string> accepted;  // "site fingerprint" handed to WebKit
  // The web process does not answer.
  bool unresponsive = false;
  // The load under way failed: WebKit still ends it with a finished load
  // naming the document it failed to replace, which is no page loaded.
  bool load_failed = false;
  // The address the host's own pages take: no page can load it, so a
  // document there is one of them (a page can go to about:blank).
  std::string own_base;
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

// The view's size for its panel's: the bottom 30 pixels stay free.
void fit_to_panel(GtkWidget*, GdkRectangle* area, gpointer web) {
  const int width = area->width > 1 ? area->width : 1;
  const int height = area->height > 31 ? area->height - 30 : 1;
  int now_width = 0, now_height = 0;
  gtk_widget_get_size_request(GTK_WIDGET(web), &now_width, &now_height);
  if (now_width != width || now_height != height) {
    gtk_widget_set_size_request(GTK_WIDGET(web), width, height);
  }
}

void QV_CALL view_close_second(qv_view* self) {
  View* v = view_of(self);
  if (v->web == nullptr) return;
  if (v->host != nullptr) g_signal_handlers_disconnect_by_data(v->host, v->web);
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

void QV_CALL view_load_url(qv_view* self, const char* url) {
  View* v = view_of(self);
  if (v->web != nullptr && url != nullptr) webkit_web_view_load_uri(v->web, to_utf8(url).c_str());
}

void QV_CALL view_load_html(qv_view* self, const char* html) {
  View* v = view_of(self);
  if (v->web != nullptr && html != nullptr) {
    webkit_web_view_load_html(v->web, to_utf8(html).c_str(), v->own_base.c_str());
  }
}

void QV_CALL view_allow_certificate(qv_view* self, const char* host, const char* fingerprint) {
  if (host != nullptr && fingerprint != nullptr) view_of(self)->allowed[host] = fingerprint;
}

void QV_CALL view_terminate_process(qv_view* self) {
  if (WebKitWebView* web = view_of(self)->web) webkit_web_view_terminate_web_process(web);
}

// --- what the agent presses ------------------------------------------------------

void tell_command(const char* command, const std::string& address = {}) {
  std::string record;
  add_field(record, "command", command);
  if (!address.empty()) add_field(record, "address", address);
  notify(command_proc, to_internal(record));
}

// The keys agents expect of a browser, the client's to carry out; the page
// keeps every other.
gboolean on_view_key(GtkWidget*, GdkEventKey* event, gpointer) {
  const bool control = (event->state & GDK_CONTROL_MASK) != 0;
  const guint key = gdk_keyval_to_lower(event->keyval);
  const char* command = nullptr;
  if (control && (key == GDK_KEY_plus || key == GDK_KEY_equal || key == GDK_KEY_KP_Add)) {
    command = "zoom_in";
  } else if (control && (key == GDK_KEY_minus || key == GDK_KEY_KP_Subtract)) {
    command = "zoom_out";
  } else if (control && (key == GDK_KEY_0 || key == GDK_KEY_KP_0)) {
    command = "zoom_reset";
  } else if (control && key == GDK_KEY_f) {
    command = "find";
  } else if (control && key == GDK_KEY_p) {
    command = "print";
  } else if ((control && key == GDK_KEY_r) || key == GDK_KEY_F5) {
    command = "reload";
  }
  if (command == nullptr) return FALSE;
  tell_command(command);
  return TRUE;
}

gboolean on_view_scroll(GtkWidget*, GdkEventScroll* event, gpointer) {
  if ((event->state & GDK_CONTROL_MASK) == 0) return FALSE;
  double dx = 0, dy = 0;
  const bool up = event->direction == GDK_SCROLL_UP ||
                  (event->direction == GDK_SCROLL_SMOOTH && gdk_event_get_scroll_deltas(reinterpret_cast<GdkEvent*>(event), &dx, &dy) && dy < 0);
  const bool down = event->direction == GDK_SCROLL_DOWN ||
                    (event->direction == GDK_SCROLL_SMOOTH && dy > 0);
  if (up) tell_command("zoom_in");
  if (down) tell_command("zoom_out");
  return TRUE;
}

void QV_CALL view_set_zoom(qv_view* self, int32_t percent) {
  if (WebKitWebView* web = view_of(self)->web) {
    webkit_web_view_set_zoom_level(web, percent > 0 ? percent / 100.0 : 1.0);
  }
}

std::string searched;  // the text of the last search

void on_counted_matches(WebKitFindController*, guint matches, gpointer) {
  std::string record;
  add_field(record, "matches", std::to_string(matches));
  notify(find_result_proc, to_internal(record));
}

void on_not_found(WebKitFindController* finder, gpointer data) {
  on_counted_matches(finder, 0, data);
}

void QV_CALL view_find(qv_view* self, const char* text, int32_t how) {
  WebKitWebView* web = view_of(self)->web;
  if (web == nullptr || text == nullptr) return;
  WebKitFindController* finder = webkit_web_view_get_find_controller(web);
  const std::string wanted = to_utf8(text);
  if (how == QV_FIND_END) {
    webkit_find_controller_search_finish(finder);
    searched.clear();
  } else if (wanted != searched) {
    searched = wanted;
    const guint flags = WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE | WEBKIT_FIND_OPTIONS_WRAP_AROUND;
    webkit_find_controller_count_matches(finder, wanted.c_str(), flags, G_MAXUINT);
    webkit_find_controller_search(finder, wanted.c_str(), flags, G_MAXUINT);
  } else if (how == QV_FIND_PREVIOUS) {
    webkit_find_controller_search_previous(finder);
  } else {
    webkit_find_controller_search_next(finder);
  }
}

void QV_CALL view_print(qv_view* self) {
  View* v = view_of(self);
  if (v->web == nullptr) return;
  WebKitPrintOperation* operation = webkit_print_operation_new(v->web);
  GtkWidget* top = v->host != nullptr ? gtk_widget_get_toplevel(v->host) : nullptr;
  webkit_print_operation_run_dialog(operation, GTK_IS_WINDOW(top) ? GTK_WINDOW(top) : nullptr);
  g_object_unref(operation);
}

void on_open_in_browser(GSimpleAction*, GVariant* address, gpointer) {
  tell_command("open_in_browser", g_variant_get_string(address, nullptr));
}

// Nothing that leads nowhere in a client (back, forward, a new window, the
// inspector unless asked for); a link can open in the browser.
gboolean on_context_menu(WebKitWebView*, WebKitContextMenu* menu, GdkEvent*,
                         WebKitHitTestResult* hit, gpointer) {
  static constexpr WebKitContextMenuAction kNowhere[] = {
      WEBKIT_CONTEXT_MENU_ACTION_GO_BACK,
      WEBKIT_CONTEXT_MENU_ACTION_GO_FORWARD,
      WEBKIT_CONTEXT_MENU_ACTION_STOP,
      WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK,
      WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK_IN_NEW_WINDOW,
      WEBKIT_CONTEXT_MENU_ACTION_OPEN_IMAGE_IN_NEW_WINDOW,
      WEBKIT_CONTEXT_MENU_ACTION_OPEN_FRAME_IN_NEW_WINDOW,
      WEBKIT_CONTEXT_MENU_ACTION_OPEN_VIDEO_IN_NEW_WINDOW,
      WEBKIT_CONTEXT_MENU_ACTION_OPEN_AUDIO_IN_NEW_WINDOW,
      WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_LINK_TO_DISK,
  };
  GList* items = g_list_copy(webkit_context_menu_get_items(menu));
  for (GList* i = items; i != nullptr; i = i->next) {
    auto* item = static_cast<WebKitContextMenuItem*>(i->data);
    const WebKitContextMenuAction action = webkit_context_menu_item_get_stock_action(item);
    bool remove = action == WEBKIT_CONTEXT_MENU_ACTION_INSPECT_ELEMENT && !options.devtools;
    for (const WebKitContextMenuAction nowhere : kNowhere) remove = remove || action == nowhere;
    if (remove) webkit_context_menu_remove(menu, item);
  }
  g_list_free(items);
  if (webkit_hit_test_result_context_is_link(hit)) {
    static GSimpleAction* open = [] {
      GSimpleAction* a = g_simple_action_new("open-in-browser", G_VARIANT_TYPE_STRING);
      g_signal_connect(a, "activate", G_CALLBACK(on_open_in_browser), nullptr);
      return a;
    }();
    const char* link = webkit_hit_test_result_get_link_uri(hit);
    webkit_context_menu_prepend(menu, webkit_context_menu_item_new_from_gaction(
                                          G_ACTION(open), "在浏览器中打开链接",
                                          g_variant_new_string(link != nullptr ? link : "")));
  }
  return FALSE;
}

// --- what the site may use ---------------------------------------------------------

const char* permission_kind(WebKitPermissionRequest* request) {
  if (WEBKIT_IS_NOTIFICATION_PERMISSION_REQUEST(request)) return "notifications";
  if (WEBKIT_IS_GEOLOCATION_PERMISSION_REQUEST(request)) return "location";
  if (WEBKIT_IS_CLIPBOARD_PERMISSION_REQUEST(request)) return "clipboard";
  if (WEBKIT_IS_USER_MEDIA_PERMISSION_REQUEST(request)) {
    auto* media = WEBKIT_USER_MEDIA_PERMISSION_REQUEST(request);
    if (webkit_user_media_permission_is_for_display_device(media)) return "screen";
    const bool audio = webkit_user_media_permission_is_for_audio_device(media) != FALSE;
    const bool video = webkit_user_media_permission_is_for_video_device(media) != FALSE;
    return audio && video ? "microphone+camera" : video ? "camera" : "microphone";
  }
  return "other";
}

// The host decides; the page's main frame is who asks.
gboolean on_permission_request(WebKitWebView* web, WebKitPermissionRequest* request, gpointer) {
  std::string record;
  add_field(record, "kind", permission_kind(request));
  const char* uri = webkit_web_view_get_uri(web);
  add_field(record, "address", uri != nullptr ? uri : "");
  if (ask_permission(to_internal(record).c_str())) {
    webkit_permission_request_allow(request);
  } else {
    webkit_permission_request_deny(request);
  }
  return TRUE;
}

// The page's notifications are the host's to show.
gboolean on_show_notification(WebKitWebView* web, WebKitNotification* notification, gpointer) {
  std::string record;
  const char* title = webkit_notification_get_title(notification);
  const char* body = webkit_notification_get_body(notification);
  const char* uri = webkit_web_view_get_uri(web);
  add_field(record, "title", title != nullptr ? title : "");
  add_field(record, "body", body != nullptr ? body : "");
  add_field(record, "address", uri != nullptr ? uri : "");
  notify(notification_proc, to_internal(record));
  return TRUE;
}

// The site's notifications are granted before it asks, so that the page
// sees them granted; other sites ask, and are denied.
void grant_notifications(WebKitWebContext* context, const char* site_uri) {
  WebKitSecurityOrigin* origin = webkit_security_origin_new_for_uri(site_uri);
  GList* allowed = g_list_append(nullptr, origin);
  webkit_web_context_initialize_notification_permissions(context, allowed, nullptr);
  g_list_free(allowed);
  webkit_security_origin_unref(origin);
}

// Spell checking in the page's text boxes: the agent's languages, else
// the desktop's (where a dictionary has it) and American English.
void set_up_spelling(WebKitWebContext* context) {
  webkit_web_context_set_spell_checking_enabled(context, TRUE);
  std::string list = options.spell_languages;
  if (list.empty()) {
    std::string desktop = g_get_language_names()[0];
    desktop = desktop.substr(0, desktop.find_first_of(".@"));
    list = desktop == "C" || desktop == "POSIX" || desktop == "en_US" ? "en_US" : desktop + ",en_US";
  }
  gchar** languages = g_strsplit(list.c_str(), ",", -1);
  for (gchar** l = languages; *l != nullptr; ++l) g_strstrip(*l);
  webkit_web_context_set_spell_checking_languages(context, languages);
  g_strfreev(languages);
  log_line("spell checking: " + list);
}

// --- downloads ---------------------------------------------------------------

// A download under way: where the host wants it, and what was told.
struct Download {
  WebKitDownload* download = nullptr;
  std::string destination;  // UTF-8; empty until the host answers
  bool failed = false;
  gint64 told_at = 0;  // the last progress told (monotonic microseconds)
};
std::map<int, Download> downloads;
int last_download_id = 0;

void QV_CALL view_download_to(qv_view*, int32_t id, const char* path) {
  const auto found = downloads.find(id);
  if (found != downloads.end() && path != nullptr) found->second.destination = to_utf8(path);
}

void QV_CALL view_cancel_download(qv_view*, int32_t id) {
  const auto found = downloads.find(id);
  if (found != downloads.end()) webkit_download_cancel(found->second.download);
}

const qv_view_ops kViewOps = {view_reload,       view_close_first,      view_set_bounds,
                              view_close_second, view_run_script,       set_first_hook,
                              set_second_hook,   release_result,        view_load_url,
                              view_load_html,    view_allow_certificate, view_terminate_process,
                              view_download_to,  view_cancel_download,   view_set_zoom,
                              view_find,         view_print};
View the_view{{&kViewOps}};

// --- WebKit's signals ----------------------------------------------------------

bool own_page(const std::string& address) {
  return !the_view.own_base.empty() && address.rfind(the_view.own_base, 0) == 0;
}

// WebKit asks before the navigations of every frame alike and cannot tell
// the main frame's apart: a frame's document loads (an embedded map, a
// widget) must go on whatever their site. What the agent clicks is asked
// about at once, in any frame; a web address a script gives the main
// frame is decided when its document commits (the commit record carries
// how it came, kept here by address).
struct Navigations {
  std::map<std::string, std::string> cause_by_address;
  void keep(const std::string& uri, const char* cause) {
    if (cause_by_address.size() > 64) cause_by_address.clear();
    cause_by_address[uri] = cause;
  }
  [[nodiscard]] std::string cause_of(const std::string& uri) const {
    const auto found = cause_by_address.find(uri);
    return found != cause_by_address.end() ? found->second : "other";
  }
} navigations;

// A page that loaded with a server error (5xx) failed as far as the host
// goes: the site answers, but not with the console.
void on_load_changed(WebKitWebView* web, WebKitLoadEvent event, gpointer) {
  const char* uri = webkit_web_view_get_uri(web);
  const std::string address = uri != nullptr ? uri : "";
  if (event == WEBKIT_LOAD_STARTED) the_view.load_failed = false;
  if (event == WEBKIT_LOAD_COMMITTED) {
    std::string record = committed_record(address, own_page(address));
    add_field(record, "cause", navigations.cause_of(address));
    notify(committed_proc, to_internal(record));
  }
  if (event != WEBKIT_LOAD_FINISHED) return;
  if (the_view.load_failed) {
    the_view.load_failed = false;
    return;
  }
  WebKitWebResource* resource = webkit_web_view_get_main_resource(web);
  WebKitURIResponse* response =
      resource != nullptr ? webkit_web_resource_get_response(resource) : nullptr;
  const guint status = response != nullptr ? webkit_uri_response_get_status_code(response) : 0;
  if (status >= 500) {
    std::string record;
    add_field(record, "kind", "http");
    add_field(record, "address", address);
    add_field(record, "status", std::to_string(status));
    add_field(record, "reason", "HTTP " + std::to_string(status));
    notify(load_failed_proc, to_internal(record));
    return;
  }
  notify(page_loaded_proc, to_internal(own_page(address) ? std::string() : address));
}

// A main-frame load that failed. Loads the host or the agent stopped, and
// policy decisions, are no failures.
gboolean on_main_load_failed(WebKitWebView*, WebKitLoadEvent, char* uri, GError* error, gpointer) {
  the_view.load_failed = true;
  if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
      g_error_matches(error, WEBKIT_POLICY_ERROR,
                      WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE)) {
    return FALSE;
  }
  const char* kind = "network";
  if (error->domain == G_RESOLVER_ERROR) {
    kind = "dns";
  } else if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CONNECTION_REFUSED)) {
    kind = "refused";
  } else if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT)) {
    kind = "timeout";
  } else if (error->domain == G_TLS_ERROR) {
    kind = "tls";
  }
  std::string record;
  add_field(record, "kind", kind);
  add_field(record, "address", uri != nullptr ? uri : "");
  add_field(record, "reason", error->message != nullptr ? error->message : "");
  log_line(std::string("load failed: ") + (uri != nullptr ? uri : "") + ": " + error->message);
  notify(load_failed_proc, to_internal(record));
  return TRUE;  // no page of WebKit's own: the host shows one
}

// A certificate that did not verify: accepted when the agent trusted this
// very certificate for the site, or when the build's extra authority signs
// it (the directory lookup trusts that authority, so the console does);
// otherwise the host asks the agent. A site that fails again after it was
// accepted is reported, so that the load never loops.
gboolean on_tls_failed(WebKitWebView* web, char* uri, GTlsCertificate* certificate,
                       GTlsCertificateFlags errors, gpointer data) {
  View& v = *static_cast<View*>(data);
  v.load_failed = true;
  const std::string site = quorvel::webview::site_of(uri);
  const std::string fingerprint = quorvel::webview::fingerprint_of(certificate);
  const auto allowed = v.allowed.find(site);
  const bool trusted =
      (allowed != v.allowed.end() && allowed->second == fingerprint) ||
      (!options.extra_authority_pem.empty() &&
       quorvel::webview::signed_by(certificate, options.extra_authority_pem, uri));
  const std::string accepted = site + " " + fingerprint;
  if (trusted && v.accepted.insert(accepted).second) {
    log_line("certificate of " + site + " accepted (SHA-256 " + fingerprint + ")");
    webkit_web_context_allow_tls_certificate_for_host(
        v.context, certificate, quorvel::webview::hostname_of(uri).c_str());
    webkit_web_view_load_uri(web, uri);
    return TRUE;
  }
  log_line("certificate of " + site + " not accepted (SHA-256 " + fingerprint + ")");
  notify(tls_error_proc, to_internal(quorvel::webview::tls_record(uri, certificate, errors)));
  return TRUE;
}

// --- what the page may do ---------------------------------------------------

std::string scheme_of(const std::string& uri) {
  const std::size_t colon = uri.find(':');
  std::string scheme = colon == std::string::npos ? std::string() : uri.substr(0, colon);
  for (char& c : scheme) c = static_cast<char>(g_ascii_tolower(c));
  return scheme;
}

const char* cause_of(WebKitNavigationAction* action) {
  if (webkit_navigation_action_is_redirect(action)) return "redirect";
  switch (webkit_navigation_action_get_navigation_type(action)) {
    case WEBKIT_NAVIGATION_TYPE_LINK_CLICKED:
      return "link";
    case WEBKIT_NAVIGATION_TYPE_FORM_SUBMITTED:
    case WEBKIT_NAVIGATION_TYPE_FORM_RESUBMITTED:
      return "form";
    case WEBKIT_NAVIGATION_TYPE_BACK_FORWARD:
      return "back_forward";
    case WEBKIT_NAVIGATION_TYPE_RELOAD:
      return "reload";
    default:
      return "script";
  }
}

int ask_host(const std::string& uri, const std::string& cause, bool gesture, bool new_window) {
  std::string record;
  add_field(record, "address", uri);
  add_field(record, "cause", cause);
  add_field(record, "gesture", gesture ? "1" : "0");
  add_field(record, "new_window", new_window ? "1" : "0");
  return ask_navigation(to_internal(record).c_str());
}

bool web_scheme(const std::string& scheme) {
  return scheme == "http" || scheme == "https";
}

// Schemes a frame may load that are no address of anywhere: subframes use
// them (about:blank, srcdoc, data: pictures); in the main frame they are
// no console, which the host sees when such a document takes it.
bool frame_scheme(const std::string& scheme) {
  return scheme == "about" || scheme == "data" || scheme == "blob" || scheme == "javascript";
}

void open_own_window(const std::string& uri);

// A response the view cannot show, or one the site wants saved, is a
// download: never a failed load.
gboolean decide_response(WebKitResponsePolicyDecision* decision) {
  WebKitURIResponse* response = webkit_response_policy_decision_get_response(decision);
  SoupMessageHeaders* headers =
      response != nullptr ? webkit_uri_response_get_http_headers(response) : nullptr;
  const char* disposition =
      headers != nullptr ? soup_message_headers_get_one(headers, "Content-Disposition") : nullptr;
  while (disposition != nullptr && (*disposition == ' ' || *disposition == '\t')) ++disposition;
  const bool attachment =
      disposition != nullptr && g_ascii_strncasecmp(disposition, "attachment", 10) == 0;
  if (!attachment && webkit_response_policy_decision_is_mime_type_supported(decision)) return FALSE;
  webkit_policy_decision_download(WEBKIT_POLICY_DECISION(decision));
  return TRUE;
}

gboolean on_decide_policy(WebKitWebView*, WebKitPolicyDecision* decision,
                          WebKitPolicyDecisionType type, gpointer) {
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
    return decide_response(WEBKIT_RESPONSE_POLICY_DECISION(decision));
  }
  auto* navigation_decision = WEBKIT_NAVIGATION_POLICY_DECISION(decision);
  WebKitNavigationAction* action =
      webkit_navigation_policy_decision_get_navigation_action(navigation_decision);
  const char* raw = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  const std::string uri = raw != nullptr ? raw : "";
  const bool gesture = webkit_navigation_action_is_user_gesture(action) != FALSE;
  const char* cause = cause_of(action);
  if (type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
    // A new window is always a top-level one: decided at once.
    const bool own = ask_host(uri, cause, gesture, true) == QV_NAVIGATE_OWN_WINDOW;
    webkit_policy_decision_ignore(decision);
    if (own) open_own_window(uri);
    return TRUE;
  }
  const std::string scheme = scheme_of(uri);
  if (own_page(uri) || frame_scheme(scheme)) return FALSE;
  const bool clicked =
      webkit_navigation_action_get_navigation_type(action) == WEBKIT_NAVIGATION_TYPE_LINK_CLICKED &&
      !webkit_navigation_action_is_redirect(action);
  if (web_scheme(scheme) && !clicked) {
    navigations.keep(uri, cause);
    return FALSE;
  }
  // A link the agent clicked, and mail, telephone, files and other
  // programs' schemes in any frame: the host decides now.
  if (ask_host(uri, cause, gesture, false) != QV_NAVIGATE_LOAD) {
    webkit_policy_decision_ignore(decision);
    return TRUE;
  }
  navigations.keep(uri, cause);
  return FALSE;
}

// --- windows of the client's own ------------------------------------------------

gboolean on_own_window_key(GtkWidget* window, GdkEventKey* event, gpointer) {
  const bool control = (event->state & GDK_CONTROL_MASK) != 0;
  if (event->keyval == GDK_KEY_Escape || (control && (event->keyval == GDK_KEY_w || event->keyval == GDK_KEY_W))) {
    gtk_widget_destroy(window);
    return TRUE;
  }
  return FALSE;
}

void on_own_window_title(WebKitWebView* web, GParamSpec*, gpointer window) {
  const char* title = webkit_web_view_get_title(web);
  gtk_window_set_title(GTK_WINDOW(window), title != nullptr && title[0] != '\0' ? title : "Quorvel");
}

void on_own_window_close(WebKitWebView* web, gpointer) {
  gtk_widget_destroy(gtk_widget_get_toplevel(GTK_WIDGET(web)));
}

// 1000 by 700, centred on the main window, the page's title as caption;
// Esc or Ctrl+W closes it.
void show_own_window(WebKitWebView* web) {
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), 1000, 700);
  if (the_view.host != nullptr) {
    GtkWidget* main = gtk_widget_get_toplevel(the_view.host);
    if (GTK_IS_WINDOW(main)) gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(main));
  }
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER_ON_PARENT);
  gtk_window_set_destroy_with_parent(GTK_WINDOW(window), TRUE);
  gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(web));
  g_signal_connect(window, "key-press-event", G_CALLBACK(on_own_window_key), nullptr);
  g_signal_connect(web, "notify::title", G_CALLBACK(on_own_window_title), window);
  on_own_window_title(web, nullptr, window);
  gtk_widget_show_all(window);
  log_line("a window of the client's own opened");
}

// A new window the host let open: a view of its own beside the console's,
// in the same context (its cookies) and under the same policy, but with a
// content manager of its own: no bridge, so what it logs drives nothing.
// It is no related view of the console's: WebKit would give a page the
// console opened the console's scripts (its bridge) whatever the view was
// told, so the address is loaded anew (a window the page opened loses its
// opener, which transcripts and histories do not need).
GtkWidget* on_create(WebKitWebView*, WebKitNavigationAction* action, gpointer);

void open_own_window(const std::string& uri) {
  WebKitUserContentManager* content = webkit_user_content_manager_new();
  auto* web = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", the_view.context,
                                           "user-content-manager", content, "settings",
                                           webkit_web_view_get_settings(the_view.web), nullptr));
  g_object_unref(content);
  g_signal_connect(web, "decide-policy", G_CALLBACK(on_decide_policy), nullptr);
  g_signal_connect(web, "create", G_CALLBACK(on_create), nullptr);
  g_signal_connect(web, "close", G_CALLBACK(on_own_window_close), nullptr);
  show_own_window(web);
  webkit_web_view_load_uri(web, uri.c_str());
}

// window.open asks for its page here, without a policy decision before:
// the same question, and never a view related to the console's.
GtkWidget* on_create(WebKitWebView*, WebKitNavigationAction* action, gpointer) {
  const char* raw = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  const std::string uri = raw != nullptr ? raw : "";
  if (ask_host(uri, cause_of(action), webkit_navigation_action_is_user_gesture(action) != FALSE,
               true) == QV_NAVIGATE_OWN_WINDOW) {
    open_own_window(uri);
  }
  return nullptr;
}

// Raw header bytes for a record: printable ASCII as it is, the rest %XX.
std::string percent_encoded(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b >= 0x7F || c == '%') {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

void tell_download(int id, const char* stage, WebKitDownload* download, const char* error = nullptr,
                   const char* reason = nullptr) {
  std::string record;
  add_field(record, "id", std::to_string(id));
  add_field(record, "stage", stage);
  WebKitURIRequest* request = webkit_download_get_request(download);
  const char* uri = request != nullptr ? webkit_uri_request_get_uri(request) : nullptr;
  add_field(record, "address", uri != nullptr ? uri : "");
  WebKitURIResponse* response = webkit_download_get_response(download);
  if (response != nullptr) {
    const guint64 length = webkit_uri_response_get_content_length(response);
    add_field(record, "total", length > 0 ? std::to_string(length) : "-1");
    SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
    const char* disposition =
        headers != nullptr ? soup_message_headers_get_one(headers, "Content-Disposition") : nullptr;
    if (disposition != nullptr) add_field(record, "disposition", percent_encoded(disposition));
  }
  add_field(record, "received", std::to_string(webkit_download_get_received_data_length(download)));
  if (error != nullptr) add_field(record, "error", error);
  if (reason != nullptr) add_field(record, "reason", reason);
  notify(download_proc, to_internal(record));
}

int download_id(WebKitDownload* download) {
  return GPOINTER_TO_INT(g_object_get_data(G_OBJECT(download), "quorvel-id"));
}

// The host says where the file goes; none, and the download ends.
gboolean on_decide_destination(WebKitDownload* download, char*, gpointer) {
  const int id = download_id(download);
  tell_download(id, "started", download);
  const auto found = downloads.find(id);
  if (found == downloads.end() || found->second.destination.empty()) {
    webkit_download_cancel(download);
    return TRUE;
  }
  webkit_download_set_allow_overwrite(download, FALSE);
  webkit_download_set_destination(download, found->second.destination.c_str());
  return TRUE;
}

void on_download_data(WebKitDownload* download, guint64, gpointer) {
  const auto found = downloads.find(download_id(download));
  if (found == downloads.end()) return;
  // A few times a second is enough for a strip that shows it.
  const gint64 now = g_get_monotonic_time();
  if (now - found->second.told_at < 250000) return;
  found->second.told_at = now;
  tell_download(found->first, "progress", download);
}

void on_download_failed(WebKitDownload* download, GError* error, gpointer) {
  const auto found = downloads.find(download_id(download));
  if (found == downloads.end()) return;
  found->second.failed = true;
  const char* kind = "other";
  if (g_error_matches(error, WEBKIT_DOWNLOAD_ERROR, WEBKIT_DOWNLOAD_ERROR_CANCELLED_BY_USER)) {
    kind = "cancelled";
  } else if (g_error_matches(error, WEBKIT_DOWNLOAD_ERROR, WEBKIT_DOWNLOAD_ERROR_NETWORK)) {
    kind = "network";
  } else if (g_error_matches(error, WEBKIT_DOWNLOAD_ERROR, WEBKIT_DOWNLOAD_ERROR_DESTINATION)) {
    const std::string words = error->message != nullptr ? error->message : "";
    kind = words.find("space") != std::string::npos ? "disk"
           : words.find("ermission") != std::string::npos ? "permission"
                                                           : "other";
  }
  log_line(std::string("download failed: ") + (error->message != nullptr ? error->message : ""));
  tell_download(found->first, "failed", download, kind, error->message);
}

void on_download_finished(WebKitDownload* download, gpointer) {
  const auto found = downloads.find(download_id(download));
  if (found == downloads.end()) return;
  if (!found->second.failed) tell_download(found->first, "finished", download);
  g_object_unref(found->second.download);
  downloads.erase(found);
}

void on_download_started(WebKitWebContext*, WebKitDownload* download, gpointer) {
  const int id = ++last_download_id;
  g_object_set_data(G_OBJECT(download), "quorvel-id", GINT_TO_POINTER(id));
  downloads[id] = {WEBKIT_DOWNLOAD(g_object_ref(download))};
  g_signal_connect(download, "decide-destination", G_CALLBACK(on_decide_destination), nullptr);
  g_signal_connect(download, "received-data", G_CALLBACK(on_download_data), nullptr);
  g_signal_connect(download, "failed", G_CALLBACK(on_download_failed), nullptr);
  g_signal_connect(download, "finished", G_CALLBACK(on_download_finished), nullptr);
}

void on_process_terminated(WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer) {
  the_view.unresponsive = false;
  const char* kind = reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT ? "memory"
                     : reason == WEBKIT_WEB_PROCESS_TERMINATED_BY_API   ? "terminated"
                                                                        : "crashed";
  std::string record;
  add_field(record, "kind", kind);
  log_line(std::string("web process ended: ") + kind);
  notify(process_event_proc, to_internal(record));
}

void on_responsive_changed(WebKitWebView* web, GParamSpec*, gpointer) {
  const bool responsive = webkit_web_view_get_is_web_process_responsive(web) != FALSE;
  if (responsive == !the_view.unresponsive) return;
  the_view.unresponsive = !responsive;
  std::string record;
  add_field(record, "kind", responsive ? "responsive" : "unresponsive");
  notify(process_event_proc, to_internal(record));
}

G_GNUC_BEGIN_IGNORE_DEPRECATIONS
void on_console(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer) {
  JSCValue* value = webkit_javascript_result_get_js_value(result);
  char* posted = jsc_value_to_string(value);
  if (posted == nullptr) return;
  std::string_view text;
  if (bridge_message(posted, text)) notify(console_proc, to_internal(std::string(text)));
  g_free(posted);
}
G_GNUC_END_IGNORE_DEPRECATIONS

// The context the view runs in: cookies and site storage kept in the data
// folder (the agent stays logged in across starts), and the web process
// ended when it passes its memory limit (the host then recovers it).
WebKitWebContext* make_context() {
  WebKitWebsiteDataManager* manager = nullptr;
  if (!options.data_directory.empty()) {
    const std::string cache = options.data_directory + "/cache";
    manager = webkit_website_data_manager_new("base-data-directory", options.data_directory.c_str(),
                                              "base-cache-directory", cache.c_str(), nullptr);
  }
  WebKitMemoryPressureSettings* memory = webkit_memory_pressure_settings_new();
  if (options.memory_limit_mb > 0) {
    webkit_memory_pressure_settings_set_memory_limit(memory,
                                                     static_cast<guint>(options.memory_limit_mb));
  }
  auto* context = WEBKIT_WEB_CONTEXT(g_object_new(WEBKIT_TYPE_WEB_CONTEXT, "website-data-manager",
                                                  manager, "memory-pressure-settings", memory,
                                                  nullptr));
  webkit_memory_pressure_settings_free(memory);
  if (manager != nullptr) {
    const std::string cookies = options.data_directory + "/cookies.sqlite";
    webkit_cookie_manager_set_persistent_storage(
        webkit_website_data_manager_get_cookie_manager(manager), cookies.c_str(),
        WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
    g_object_unref(manager);
  }
  log_line("site data in " + (options.data_directory.empty() ? std::string("memory only")
                                                               : options.data_directory) +
           ", web process memory limit " + std::to_string(options.memory_limit_mb) + " MB");
  return context;
}

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

QV_EXPORT void QV_CALL ormixwebview_set_option(const char* name, const char* value) {
  if (name == nullptr || value == nullptr) return;
  const std::string_view option = name;
  if (option == "data_directory") options.data_directory = to_utf8(value);
  if (option == "memory_limit_mb") options.memory_limit_mb = std::atoi(value);
  if (option == "extra_authority") options.extra_authority_pem = value;
  if (option == "spell_languages") options.spell_languages = to_utf8(value);
  if (option == "devtools") options.devtools = std::string_view(value) == "1";
}

QV_EXPORT qv_view* QV_CALL ormixwebview_open(intptr_t host, const char* url, qv_open_options*) {
  auto* panel = reinterpret_cast<GtkWidget*>(host);
  if (panel == nullptr || !GTK_IS_CONTAINER(panel) || the_view.web != nullptr) return nullptr;
  the_view.context = make_context();
  g_signal_connect(the_view.context, "download-started", G_CALLBACK(on_download_started), nullptr);

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
  // The site's own alert sound plays without a click first.
  WebKitWebsitePolicies* policies =
      webkit_website_policies_new_with_policies("autoplay", WEBKIT_AUTOPLAY_ALLOW, nullptr);
  WebKitWebView* web = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context",
                                                    the_view.context, "user-content-manager",
                                                    content, "website-policies", policies, nullptr));
  g_object_unref(policies);
  g_object_unref(content);
  WebKitSettings* settings = webkit_web_view_get_settings(web);
  if (!gpu) {
    webkit_settings_set_hardware_acceleration_policy(settings,
                                                     WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  }
  webkit_settings_set_enable_developer_extras(settings, options.devtools ? TRUE : FALSE);
  // Voice and video with a visitor: the site asks, the agent answers.
  webkit_settings_set_enable_media_stream(settings, TRUE);
  webkit_settings_set_enable_webrtc(settings, TRUE);
#ifdef QUORVEL_TEST_BUILD
  // Test builds only: devices where the test machine has none.
  if (g_getenv("QUORVEL_TEST_MOCK_CAPTURE") != nullptr) {
    webkit_settings_set_enable_mock_capture_devices(settings, TRUE);
  }
#endif
  set_up_spelling(the_view.context);
  g_signal_connect(web, "key-press-event", G_CALLBACK(on_view_key), nullptr);
  g_signal_connect(web, "scroll-event", G_CALLBACK(on_view_scroll), nullptr);
  g_signal_connect(web, "context-menu", G_CALLBACK(on_context_menu), nullptr);
  g_signal_connect(web, "permission-request", G_CALLBACK(on_permission_request), nullptr);
  g_signal_connect(web, "show-notification", G_CALLBACK(on_show_notification), nullptr);
  if (url != nullptr && url[0] != '\0') grant_notifications(the_view.context, to_utf8(url).c_str());
  WebKitFindController* finder = webkit_web_view_get_find_controller(web);
  g_signal_connect(finder, "counted-matches", G_CALLBACK(on_counted_matches), nullptr);
  g_signal_connect(finder, "failed-to-find-text", G_CALLBACK(on_not_found), nullptr);
  log_line(gpu ? "GPU render node found: WebKit's default compositing"
               : "no GPU render node: compositing off");
  g_signal_connect(web, "load-changed", G_CALLBACK(on_load_changed), nullptr);
  g_signal_connect(web, "decide-policy", G_CALLBACK(on_decide_policy), nullptr);
  g_signal_connect(web, "create", G_CALLBACK(on_create), nullptr);
  g_signal_connect(web, "load-failed", G_CALLBACK(on_main_load_failed), nullptr);
  g_signal_connect(web, "load-failed-with-tls-errors", G_CALLBACK(on_tls_failed), &the_view);
  g_signal_connect(web, "web-process-terminated", G_CALLBACK(on_process_terminated), nullptr);
  g_signal_connect(web, "notify::is-web-process-responsive", G_CALLBACK(on_responsive_changed),
                   nullptr);

  GtkWidget* widget = GTK_WIDGET(web);
  if (GTK_IS_FIXED(panel)) {
    gtk_fixed_put(GTK_FIXED(panel), widget, 0, 0);
  } else {
    gtk_container_add(GTK_CONTAINER(panel), widget);
  }
  GtkAllocation area;
  gtk_widget_get_allocation(panel, &area);
  fit_to_panel(panel, &area, widget);
  // The view follows its panel's own allocation: where no window manager
  // answers (kiosk sessions, some remote desktops) the host's resize may
  // never come, and the view would keep the 1x1 of a panel not yet laid out.
  g_signal_connect(panel, "size-allocate", G_CALLBACK(fit_to_panel), widget);
  gtk_widget_show(widget);
  the_view.web = web;
  the_view.host = panel;
  char* token = g_uuid_string_random();
  the_view.own_base = std::string("quorvel-page:") + token;
  g_free(token);
  if (url != nullptr && url[0] != '\0') webkit_web_view_load_uri(web, to_utf8(url).c_str());
  return &the_view.base;
}

}  // extern "C"
