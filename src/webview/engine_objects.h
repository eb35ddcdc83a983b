// The parts both engine libraries share: the converter and event objects,
// the procedures the client registered, and the release of what the
// library hands out. Each library includes this once, in its one file.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

#include "webview/engine_api.h"

namespace {

// What the bridge puts before every message it posts: a token of this
// process that only the script the engine runs in the main frame knows, so
// that a frame posting to the host itself is not taken for the page's
// console.
const std::string& bridge_token() {
  static const std::string token = [] {
    std::string t = "qv";
    std::srand(static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(&t)) ^
               static_cast<unsigned>(std::time(nullptr)));
    for (int i = 0; i < 24; ++i) t += "0123456789abcdef"[std::rand() % 16];
    return t + ":";
  }();
  return token;
}

// The text of a message the bridge posted; false for one without its token.
bool bridge_message(std::string_view posted, std::string_view& text) {
  const std::string& token = bridge_token();
  if (posted.substr(0, token.size()) != token) return false;
  text = posted.substr(token.size());
  return true;
}

// Page to host: a script run at the start of every main-frame document that
// forwards each console output call of the page, its arguments joined by
// single spaces as a console shows them (so a title runs to the end of the
// text), through `post`, the engine's way to send a text to the host.
std::string console_bridge(std::string_view post) {
  return R"JS((function () {
  if (window.__quorvelConsole || window !== window.top) return;
  window.__quorvelConsole = true;
  var post = )JS" + std::string(post) + R"JS(.bind()JS" +
         std::string(post.substr(0, post.rfind('.'))) + R"JS();
  function text(value) {
    if (typeof value === 'string') return value;
    try { var json = JSON.stringify(value); return json === undefined ? String(value) : json; }
    catch (e) { return String(value); }
  }
  ['log', 'info', 'warn', 'error', 'debug'].forEach(function (name) {
    var original = console[name];
    console[name] = function () {
      var parts = [];
      for (var i = 0; i < arguments.length; i++) parts.push(text(arguments[i]));
      try { post(')JS" + bridge_token() + R"JS(' + parts.join(' ')); } catch (e) {}
      return original.apply(console, arguments);
    };
  });
})();)JS";
}

qv_event_proc page_loaded_proc = nullptr;
qv_event_proc console_proc = nullptr;
qv_event_proc load_failed_proc = nullptr;
qv_event_proc process_event_proc = nullptr;
qv_event_proc tls_error_proc = nullptr;
qv_event_proc committed_proc = nullptr;
qv_decide_proc navigation_proc = nullptr;
qv_event_proc download_proc = nullptr;
qv_event_proc command_proc = nullptr;
qv_event_proc find_result_proc = nullptr;
qv_decide_proc permission_proc = nullptr;
qv_event_proc notification_proc = nullptr;
qv_event_proc log_proc = nullptr;

// The event records: "name=value" lines, values kept to one line.
void add_field(std::string& record, std::string_view name, std::string_view value) {
  record.append(name).append("=");
  for (const char c : value) record += c == '\n' || c == '\r' ? ' ' : c;
  record += '\n';
}

// Hands internal text to a registered procedure for the call's length.
void notify_text(qv_event_proc proc, const char* internal_text) {
  if (proc != nullptr) proc(static_cast<int64_t>(reinterpret_cast<intptr_t>(internal_text)));
}

// The record of a document the main frame committed (address in the
// engine's own text; the caller converts the whole record).
std::string committed_record(std::string_view address, bool own_page) {
  std::string record;
  add_field(record, "address", own_page ? std::string_view() : address);
  add_field(record, "own", own_page ? "1" : "0");
  return record;
}

char* copy_text(const char* text) {
  const std::size_t n = std::strlen(text);
  auto* out = static_cast<char*>(std::malloc(n + 1));
  if (out != nullptr) std::memcpy(out, text, n + 1);
  return out;
}

qv_result* new_result() {
  return static_cast<qv_result*>(std::calloc(1, sizeof(qv_result)));
}

void QV_CALL release_result(qv_view*, qv_result* result) {
  if (result == nullptr) return;
  std::free(reinterpret_cast<char*>(result->fields[0]));
  std::free(reinterpret_cast<char*>(result->fields[7]));
  std::free(result);
}

void QV_CALL set_first_hook(qv_view*, qv_first_hook) {}
void QV_CALL set_second_hook(qv_view*, qv_second_hook) {}

char* QV_CALL argument_to_text(qv_converter*, int64_t argument) {
  const char* text = reinterpret_cast<const char*>(static_cast<intptr_t>(argument));
  return copy_text(text != nullptr ? text : "");
}

void QV_CALL release_text(qv_converter*, char* text) {
  std::free(text);
}

const qv_converter_ops kConverterOps = {argument_to_text, release_text};
qv_converter the_converter{&kConverterOps};

void QV_CALL on_page_loaded(qv_events*, int, qv_event_proc proc) {
  page_loaded_proc = proc;
}
void QV_CALL on_console_message(qv_events*, int, qv_event_proc proc) {
  console_proc = proc;
}
void QV_CALL on_load_failed(qv_events*, int, qv_event_proc proc) {
  load_failed_proc = proc;
}
void QV_CALL on_process_event(qv_events*, int, qv_event_proc proc) {
  process_event_proc = proc;
}
void QV_CALL on_tls_error(qv_events*, int, qv_event_proc proc) {
  tls_error_proc = proc;
}

void QV_CALL on_document_committed(qv_events*, int, qv_event_proc proc) {
  committed_proc = proc;
}

void QV_CALL on_navigation(qv_events*, int, qv_decide_proc proc) {
  navigation_proc = proc;
}

void QV_CALL on_download(qv_events*, int, qv_event_proc proc) {
  download_proc = proc;
}

void QV_CALL on_command(qv_events*, int, qv_event_proc proc) {
  command_proc = proc;
}
void QV_CALL on_find_result(qv_events*, int, qv_event_proc proc) {
  find_result_proc = proc;
}

void QV_CALL on_permission(qv_events*, int, qv_decide_proc proc) {
  permission_proc = proc;
}
void QV_CALL on_notification(qv_events*, int, qv_event_proc proc) {
  notification_proc = proc;
}

const qv_events_ops kEventsOps = {on_page_loaded,   on_console_message, on_load_failed,
                                  on_process_event, on_tls_error,       on_document_committed,
                                  on_navigation,    on_download,        on_command,
                                  on_find_result,   on_permission,      on_notification};

// Asks the host whether the page may have a permission; without a host,
// nothing is granted.
bool ask_permission(const char* internal_record) {
  return permission_proc != nullptr &&
         permission_proc(static_cast<int64_t>(reinterpret_cast<intptr_t>(internal_record))) == 1;
}



// Asks the host about a navigation (the record in the engine's own text,
// converted by the caller); without a host everything loads.
int32_t ask_navigation(const char* internal_record) {
  if (navigation_proc == nullptr) return QV_NAVIGATE_LOAD;
  return navigation_proc(static_cast<int64_t>(reinterpret_cast<intptr_t>(internal_record)));
}
qv_events the_events{&kEventsOps};

void hand_out_objects(qv_converter** converter, qv_events** events) {
  if (converter != nullptr) *converter = &the_converter;
  if (events != nullptr) *events = &the_events;
}

}  // namespace
