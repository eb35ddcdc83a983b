/* The engine library's interface, shared by the engine libraries (WebKitGTK
 * on Linux, WebView2 on Windows) and the client that loads them at run time.
 *
 * Five exports, three objects whose first member is their operation table,
 * and one open-options record. Rules every side keeps:
 *  - Texts cross as NUL-terminated internal 8-bit text (GB18030).
 *  - Handles, procedure addresses and the options record's text fields are
 *    pointer-sized, so nothing is cut on a 64-bit build.
 *  - The caller owns what it passes (the URL, the options record, scripts)
 *    and keeps it alive only for the call.
 *  - The library owns what it hands out: the objects live until the process
 *    ends; a text from argument_to_text is released with release_text, a
 *    result record from run_script with release_result, both by the caller.
 *  - Event procedures get one 64-bit argument, valid only during the call,
 *    which argument_to_text turns into text. They run on the UI thread.
 *  - What the tables hold after release_result and on_console_message came
 *    later: the host's recovery of a page that failed. Their event texts
 *    are records of "name=value" lines, each ending in a line feed, values
 *    without line breaks, unknown names ignored:
 *      load failed:    kind (network, dns, refused, timeout, tls, http),
 *                      address, reason (the engine's words), status (http)
 *      process event:  kind (crashed, killed, memory, unresponsive,
 *                      responsive, terminated), reason
 *      TLS error:      host, address, fingerprint (SHA-256, 64 hex
 *                      digits), subject, issuer, valid_from, valid_until
 *                      (ISO 8601), reason
 *  - on_document_committed came after those: a record of the main frame's
 *    new document, before its scripts run:
 *      document:       address, own (1 for the host's own pages, 0 else)
 *    Since then, the page-loaded procedure is called only for loads that
 *    ended well (never after a failure, whatever address the engine still
 *    names then), with the address loaded; the host's own pages as empty
 *    text.
 *  - on_navigation came next: a question, not an event. Its procedure
 *    returns what the engine does (QV_NAVIGATE_*) with a main-frame
 *    navigation or a new window the page asks for; the record:
 *      navigation:     address, cause (link, form, redirect, script,
 *                      reload, back_forward, other), gesture (1 when a
 *                      user's gesture started it), new_window (1 or 0)
 *    The host's own pages and the addresses the host loads itself are
 *    not asked about.
 *  - on_download and the view's download_to and cancel_download came next:
 *      download:       id, stage (started, progress, finished, failed),
 *                      address, disposition (the response's
 *                      Content-Disposition, bytes outside printable ASCII
 *                      as %XX), total (bytes, -1 unknown), received, error
 *                      (disk, permission, network, cancelled, other),
 *                      reason (the engine's words)
 *    While its start is reported, the host calls download_to with the
 *    path to write to; a download without one is cancelled.
 *  - on_command, and the view's set_zoom, find and print, came next: the
 *    keys an agent presses in the page, as commands for the host
 *      command:        command (zoom_in, zoom_out, zoom_reset, find, print,
 *                      reload, open_in_browser), address (open_in_browser)
 *      find result:    matches (how many the last search found)
 *    find's how: QV_FIND_NEXT (a new text starts over), QV_FIND_PREVIOUS,
 *    QV_FIND_END (the highlights go).
 *  - on_permission (a question: 1 allows) and on_notification came next:
 *      permission:     kind (notifications, microphone, camera,
 *                      microphone+camera, screen, clipboard, autoplay,
 *                      location, other), address (the main frame's)
 *      notification:   title, body, address
 *  - ormixwebview_set_option, a sixth export that a library may lack, takes
 *    settings before the first open: "data_directory" (cookies and site
 *    storage kept there), "memory_limit_mb" (the web process's),
 *    "extra_authority" (PEM text of the one authority the build trusts
 *    beside the system's), and later "spell_languages" (comma-separated,
 *    empty: the desktop's language and en_US) and "devtools" ("1": the
 *    inspector in the context menu).
 */
#ifndef QUORVEL_WEBVIEW_ENGINE_API_H
#define QUORVEL_WEBVIEW_ENGINE_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define QV_CALL __stdcall
#define QV_EXPORT __declspec(dllexport)
#else
#define QV_CALL
#define QV_EXPORT __attribute__((visibility("default")))
#endif

typedef void(QV_CALL* qv_event_proc)(int64_t argument);
typedef int(QV_CALL* qv_first_hook)(intptr_t value, const char* text);
typedef void(QV_CALL* qv_second_hook)(intptr_t value, const char* text);
typedef int32_t(QV_CALL* qv_decide_proc)(int64_t argument);

/* find's ways. */
#define QV_FIND_NEXT 0
#define QV_FIND_PREVIOUS 1
#define QV_FIND_END 2

/* What the engine does with a navigation (on_navigation's answers). */
#define QV_NAVIGATE_LOAD 0       /* in the view */
#define QV_NAVIGATE_CANCEL 1     /* nowhere: refused, or the host opened it on the desktop */
#define QV_NAVIGATE_OWN_WINDOW 2 /* a new window of the host's own, with the page in it */

/* Result of run_script: 9 fields, the 1st and 8th texts (may be null). */
typedef struct qv_result {
  intptr_t fields[9];
} qv_result;

/* 22 fields, zeroed by the caller; fields 4 and 19 (from 1) set to 1. */
typedef struct qv_open_options {
  intptr_t fields[22];
} qv_open_options;

typedef struct qv_view qv_view;
typedef struct qv_converter qv_converter;
typedef struct qv_events qv_events;

typedef struct qv_view_ops {
  void(QV_CALL* reload)(qv_view* self);
  void(QV_CALL* close_first)(qv_view* self);
  /* each value followed by a presence flag of 1 */
  void(QV_CALL* set_bounds)(qv_view* self, int left, int has_left, int top, int has_top, int width,
                            int has_width, int height, int has_height);
  void(QV_CALL* close_second)(qv_view* self);
  qv_result*(QV_CALL* run_script)(qv_view* self, const char* script, intptr_t, intptr_t, intptr_t,
                                  intptr_t);
  void(QV_CALL* set_first_hook)(qv_view* self, qv_first_hook hook);
  void(QV_CALL* set_second_hook)(qv_view* self, qv_second_hook hook);
  void(QV_CALL* release_result)(qv_view* self, qv_result* result);
  /* The host's own pages and the recovery of a failed one. */
  void(QV_CALL* load_url)(qv_view* self, const char* url);
  void(QV_CALL* load_html)(qv_view* self, const char* html);
  /* The certificate of that fingerprint is accepted for that host from now
     on, in this run (the host stores what the agent trusted). */
  void(QV_CALL* allow_certificate)(qv_view* self, const char* host, const char* fingerprint);
  void(QV_CALL* terminate_process)(qv_view* self);
  void(QV_CALL* download_to)(qv_view* self, int32_t id, const char* path);
  void(QV_CALL* cancel_download)(qv_view* self, int32_t id);
  void(QV_CALL* set_zoom)(qv_view* self, int32_t percent);
  void(QV_CALL* find)(qv_view* self, const char* text, int32_t how);
  void(QV_CALL* print)(qv_view* self);
} qv_view_ops;

typedef struct qv_converter_ops {
  /* empty text (never null) when the argument is 0 */
  char*(QV_CALL* argument_to_text)(qv_converter* self, int64_t argument);
  void(QV_CALL* release_text)(qv_converter* self, char* text);
} qv_converter_ops;

typedef struct qv_events_ops {
  void(QV_CALL* on_page_loaded)(qv_events* self, int view, qv_event_proc proc);
  void(QV_CALL* on_console_message)(qv_events* self, int view, qv_event_proc proc);
  void(QV_CALL* on_load_failed)(qv_events* self, int view, qv_event_proc proc);
  void(QV_CALL* on_process_event)(qv_events* self, int view, qv_event_proc proc);
  void(QV_CALL* on_tls_error)(qv_events* self, int view, qv_event_proc proc);
  void(QV_CALL* on_document_committed)(qv_events* self, int view, qv_event_proc proc);
  void(QV_CALL* on_navigation)(qv_events* self, int view, qv_decide_proc proc);
  void(QV_CALL* on_download)(qv_events* self, int view, qv_event_proc proc);
  void(QV_CALL* on_command)(qv_events* self, int view, qv_event_proc proc);
  void(QV_CALL* on_find_result)(qv_events* self, int view, qv_event_proc proc);
  void(QV_CALL* on_permission)(qv_events* self, int view, qv_decide_proc proc);
  void(QV_CALL* on_notification)(qv_events* self, int view, qv_event_proc proc);
} qv_events_ops;

struct qv_view {
  const qv_view_ops* ops;
};
struct qv_converter {
  const qv_converter_ops* ops;
};
struct qv_events {
  const qv_events_ops* ops;
};

/* The exports, by these names. */
typedef void(QV_CALL* qv_dllwrite_fn)(void);
typedef int(QV_CALL* qv_has_edge_fn)(void);
typedef void(QV_CALL* qv_init_fn)(int zero, qv_converter** converter, qv_events** events);
typedef void(QV_CALL* qv_log_fn)(qv_event_proc proc);
typedef qv_view*(QV_CALL* qv_open_fn)(intptr_t host, const char* url, qv_open_options* options);
typedef void(QV_CALL* qv_set_option_fn)(const char* name, const char* value);

#ifdef __cplusplus
}
#endif

#endif
