// A stand-in engine library: the five exports and the three objects of the
// engine interface, recording every call in order, for the engine host's
// tests.
#include "fake_engine.h"

#include <cstdlib>
#include <cstring>

namespace {

FakeEngineState state;

void record(std::string call) {
  state.calls.push_back(std::move(call));
}

void QV_CALL reload(qv_view*) {
  record("reload");
}
void QV_CALL close_first(qv_view*) {
  record("close_first");
}
void QV_CALL set_bounds(qv_view*, int left, int has_left, int top, int has_top, int width,
                        int has_width, int height, int has_height) {
  record("set_bounds " + std::to_string(left) + "," + std::to_string(top) + "," +
         std::to_string(width) + "," + std::to_string(height) + " flags " +
         std::to_string(has_left + has_top + has_width + has_height));
}
void QV_CALL close_second(qv_view*) {
  record("close_second");
}
qv_result* QV_CALL run_script(qv_view*, const char* script, intptr_t, intptr_t, intptr_t,
                              intptr_t) {
  record(std::string("run_script ") + script);
  return static_cast<qv_result*>(std::calloc(1, sizeof(qv_result)));
}
void QV_CALL set_first_hook(qv_view*, qv_first_hook) {
  record("set_first_hook");
}
void QV_CALL set_second_hook(qv_view*, qv_second_hook) {
  record("set_second_hook");
}
void QV_CALL release_result(qv_view*, qv_result* result) {
  record("release_result");
  std::free(result);
}
void QV_CALL load_url(qv_view*, const char* url) {
  record(std::string("load_url ") + url);
}
void QV_CALL load_html(qv_view*, const char* html) {
  record("load_html " + std::to_string(std::strlen(html)));
}
void QV_CALL allow_certificate(qv_view*, const char* host, const char* fingerprint) {
  record(std::string("allow_certificate ") + host + " " + fingerprint);
}
void QV_CALL terminate_process(qv_view*) {
  record("terminate_process");
}
void QV_CALL download_to(qv_view*, int32_t id, const char* path) {
  record("download_to " + std::to_string(id) + " " + path);
}
void QV_CALL cancel_download(qv_view*, int32_t id) {
  record("cancel_download " + std::to_string(id));
}
void QV_CALL set_zoom(qv_view*, int32_t percent) {
  record("set_zoom " + std::to_string(percent));
}
void QV_CALL find(qv_view*, const char* text, int32_t how) {
  record("find " + std::string(text) + " " + std::to_string(how));
}
void QV_CALL print(qv_view*) {
  record("print");
}
const qv_view_ops kViewOps = {reload,      close_first,     set_bounds,        close_second,
                              run_script,  set_first_hook,  set_second_hook,   release_result,
                              load_url,    load_html,       allow_certificate, terminate_process,
                              download_to, cancel_download, set_zoom,          find,
                              print};
qv_view view{&kViewOps};

char* QV_CALL argument_to_text(qv_converter*, int64_t argument) {
  record("argument_to_text");
  const char* text = reinterpret_cast<const char*>(static_cast<intptr_t>(argument));
  return strdup(text != nullptr ? text : "");
}
void QV_CALL release_text(qv_converter*, char* text) {
  record("release_text");
  std::free(text);
}
const qv_converter_ops kConverterOps = {argument_to_text, release_text};
qv_converter converter{&kConverterOps};

void QV_CALL on_page_loaded(qv_events*, int view_index, qv_event_proc proc) {
  record("on_page_loaded " + std::to_string(view_index));
  state.page_loaded = proc;
}
void QV_CALL on_console_message(qv_events*, int view_index, qv_event_proc proc) {
  record("on_console_message " + std::to_string(view_index));
  state.console = proc;
}
void QV_CALL on_load_failed(qv_events*, int view_index, qv_event_proc proc) {
  record("on_load_failed " + std::to_string(view_index));
  state.load_failed = proc;
}
void QV_CALL on_process_event(qv_events*, int view_index, qv_event_proc proc) {
  record("on_process_event " + std::to_string(view_index));
  state.process_event = proc;
}
void QV_CALL on_tls_error(qv_events*, int view_index, qv_event_proc proc) {
  record("on_tls_error " + std::to_string(view_index));
  state.tls_error = proc;
}
void QV_CALL on_document_committed(qv_events*, int view_index, qv_event_proc proc) {
  record("on_document_committed " + std::to_string(view_index));
  state.committed = proc;
}
void QV_CALL on_navigation(qv_events*, int view_index, qv_decide_proc proc) {
  record("on_navigation " + std::to_string(view_index));
  state.navigation = proc;
}
void QV_CALL on_download(qv_events*, int view_index, qv_event_proc proc) {
  record("on_download " + std::to_string(view_index));
  state.download = proc;
}
void QV_CALL on_command(qv_events*, int view_index, qv_event_proc proc) {
  record("on_command " + std::to_string(view_index));
  state.command = proc;
}
void QV_CALL on_find_result(qv_events*, int view_index, qv_event_proc proc) {
  record("on_find_result " + std::to_string(view_index));
  state.find_result = proc;
}
void QV_CALL on_permission(qv_events*, int view_index, qv_decide_proc proc) {
  record("on_permission " + std::to_string(view_index));
  state.permission = proc;
}
void QV_CALL on_notification(qv_events*, int view_index, qv_event_proc proc) {
  record("on_notification " + std::to_string(view_index));
  state.notification = proc;
}
const qv_events_ops kEventsOps = {on_page_loaded,   on_console_message, on_load_failed,
                                  on_process_event, on_tls_error,       on_document_committed,
                                  on_navigation,    on_download,        on_command,
                                  on_find_result,   on_permission,      on_notification};
qv_events events{&kEventsOps};

}  // namespace

extern "C" {

QV_EXPORT FakeEngineState* QV_CALL fake_engine_state(void) {
  return &state;
}

QV_EXPORT void QV_CALL webview2_dllwrite(void) {
  record("dllwrite");
}

QV_EXPORT int QV_CALL ormixwebview_has_edge(void) {
  record("has_edge");
  return state.has_edge;
}

QV_EXPORT void QV_CALL ormixwebview_init(int zero, qv_converter** c, qv_events** e) {
  record("init " + std::to_string(zero));
  *c = &converter;
  *e = &events;
}

QV_EXPORT void QV_CALL ormixwebview_log(qv_event_proc) {
  record("log");
}

QV_EXPORT void QV_CALL ormixwebview_set_option(const char* name, const char* value) {
  state.options.push_back(std::string(name) + "=" + value);
}

QV_EXPORT qv_view* QV_CALL ormixwebview_open(intptr_t host, const char* url,
                                             qv_open_options* options) {
  record("open " + std::to_string(host) + " " + (url != nullptr ? url : "(null)"));
  if (options != nullptr) std::memcpy(state.open_fields, options->fields, sizeof state.open_fields);
  return state.open_fails ? nullptr : &view;
}

}  // extern "C"
