// The engine library on Windows, over WebView2: the five exports and the
// view, converter and event objects of engine_api.h. No SDK is needed: the
// COM declarations are our own, and the runtime is found through the
// registry (its embedded-browser library and creation export), with a
// loader library beside the program as the fall-back.
#include <windows.h>
// After windows.h, which they need.
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/com_ptr-win32.h"
#include "base/proc_address-win32.h"
#include "base/unique_handle-win32.h"
#include "base/unique_handle.h"
#include "base/wide-win32.h"
#include "webview/engine_api.h"
#include "webview/engine_objects.h"
#include "webview/webview2_certificates-win32.h"
#include "webview/webview2_com-win32.h"

namespace {

using namespace quorvel::webview2;
using quorvel::ComPtr;

constexpr wchar_t kRuntimeKey[] =
    L"SOFTWARE\\Microsoft\\EdgeUpdate\\ClientState\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
// The environment and the controller arrive asynchronously; open waits
// this long for them while the window keeps pumping.
constexpr DWORD kCreateTimeoutMs = 60000;

using CreateInternal = HRESULT(STDMETHODCALLTYPE*)(
    bool reuse, int runtime_type, PCWSTR user_data, IUnknown* options,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler);
using CreateWithOptions = HRESULT(STDMETHODCALLTYPE*)(
    PCWSTR browser_folder, PCWSTR user_data, ICoreWebView2EnvironmentOptions* options,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler);

// A COM callback object around a function.
template <typename Interface, const GUID& kIid, typename... Args>
class Handler final : public Interface {
 public:
  explicit Handler(std::function<HRESULT(Args...)> call) : call_(std::move(call)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, kIid)) {
      *out = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  HRESULT STDMETHODCALLTYPE Invoke(Args... args) override { return call_(args...); }

 private:
  std::function<HRESULT(Args...)> call_;
  LONG references_ = 1;
};

using EnvironmentDone = Handler<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler,
                                IID_ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler,
                                HRESULT, ICoreWebView2Environment*>;
using ControllerDone = Handler<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler,
                               IID_ICoreWebView2CreateCoreWebView2ControllerCompletedHandler,
                               HRESULT, ICoreWebView2Controller*>;
using NavigationDone = Handler<ICoreWebView2NavigationCompletedEventHandler,
                               IID_ICoreWebView2NavigationCompletedEventHandler, ICoreWebView2*,
                               ICoreWebView2NavigationCompletedEventArgs*>;
using MessageReceived = Handler<ICoreWebView2WebMessageReceivedEventHandler,
                                IID_ICoreWebView2WebMessageReceivedEventHandler, ICoreWebView2*,
                                ICoreWebView2WebMessageReceivedEventArgs*>;
using ScriptDone = Handler<ICoreWebView2ExecuteScriptCompletedHandler,
                           IID_ICoreWebView2ExecuteScriptCompletedHandler, HRESULT, LPCWSTR>;
using ProcessFailed = Handler<ICoreWebView2ProcessFailedEventHandler,
                              IID_ICoreWebView2ProcessFailedEventHandler, ICoreWebView2*,
                              ICoreWebView2ProcessFailedEventArgs*>;
using CertificateError =
    Handler<ICoreWebView2ServerCertificateErrorDetectedEventHandler,
            IID_ICoreWebView2ServerCertificateErrorDetectedEventHandler, ICoreWebView2*,
            ICoreWebView2ServerCertificateErrorDetectedEventArgs*>;
using NavigationStarting = Handler<ICoreWebView2NavigationStartingEventHandler,
                                   IID_ICoreWebView2NavigationStartingEventHandler, ICoreWebView2*,
                                   ICoreWebView2NavigationStartingEventArgs*>;
using NewWindowRequested = Handler<ICoreWebView2NewWindowRequestedEventHandler,
                                   IID_ICoreWebView2NewWindowRequestedEventHandler, ICoreWebView2*,
                                   ICoreWebView2NewWindowRequestedEventArgs*>;
using PermissionRequested = Handler<ICoreWebView2PermissionRequestedEventHandler,
                                    IID_ICoreWebView2PermissionRequestedEventHandler, ICoreWebView2*,
                                    ICoreWebView2PermissionRequestedEventArgs*>;
using ContentLoading = Handler<ICoreWebView2ContentLoadingEventHandler,
                               IID_ICoreWebView2ContentLoadingEventHandler, ICoreWebView2*,
                               ICoreWebView2ContentLoadingEventArgs*>;
using ScriptAdded =
    Handler<ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler,
            IID_ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler, HRESULT, LPCWSTR>;

// Takes a COM-allocated text.
std::wstring take(LPWSTR text) {
  std::wstring out = text != nullptr ? text : L"";
  CoTaskMemFree(text);
  return out;
}

std::wstring program_folder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, n);
  return folder.substr(0, folder.find_last_of(L"\\/"));
}

struct KeyTraits {
  using Handle = HKEY;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle key) noexcept { RegCloseKey(key); }
};
using UniqueKey = quorvel::UniqueHandle<KeyTraits>;

std::wstring registry_runtime_folder() {
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, kRuntimeKey, 0, KEY_READ | KEY_WOW64_32KEY, &opened) != ERROR_SUCCESS) {
      continue;
    }
    const UniqueKey key(opened);
    wchar_t value[MAX_PATH] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    const LSTATUS status = RegQueryValueExW(key.get(), L"EBWebView", nullptr, &type,
                                            reinterpret_cast<BYTE*>(value), &size);
    if (status == ERROR_SUCCESS && type == REG_SZ && value[0] != L'\0') return value;
  }
  return {};
}

// How an environment is created: the runtime's own export, or a loader.
struct Runtime {
  CreateInternal internal = nullptr;
  CreateWithOptions with_options = nullptr;
  explicit operator bool() const { return internal != nullptr || with_options != nullptr; }
};

// Searched again until found: the installer may have run meanwhile.
Runtime find_runtime() {
  static Runtime found;
  if (found) return found;
  const std::wstring folder = registry_runtime_folder();
  if (!folder.empty()) {
    const std::wstring library = folder + L"\\EBWebView\\x64\\EmbeddedBrowserWebView.dll";
    if (HMODULE module = LoadLibraryW(library.c_str())) {
      found.internal = quorvel::proc_address<CreateInternal>(
          module, "CreateWebViewEnvironmentWithOptionsInternal");
    }
  }
  if (!found) {
    const std::wstring loader = program_folder() + L"\\WebView2Loader.dll";
    if (HMODULE module = LoadLibraryW(loader.c_str())) {
      found.with_options = quorvel::proc_address<CreateWithOptions>(
          module, "CreateCoreWebView2EnvironmentWithOptions");
    }
  }
  return found;
}

// What the host set before the first open.
struct Options {
  std::wstring data_directory;
  int memory_limit_mb = 0;
  std::string extra_authority;  // PEM
} options;

// The user data folder (cookies, site storage: the login), in the host's
// data folder, else under the user's local application data.
std::wstring user_data_folder() {
  if (!options.data_directory.empty()) return options.data_directory + L"\\WebView2";
  wchar_t base[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, base))) return {};
  return std::wstring(base) + L"\\Quorvel\\WebView2";
}

// The runtime has no memory limit of its own: a ceiling on the page's
// script heap makes a page that grows without end fail (and be reloaded)
// before it takes the machine's memory. An administrator's own arguments
// are left alone.
void apply_memory_limit() {
  if (options.memory_limit_mb <= 0 ||
      GetEnvironmentVariableW(L"WEBVIEW2_ADDITIONAL_BROWSER_ARGUMENTS", nullptr, 0) != 0) {
    return;
  }
  const std::wstring arguments =
      L"--js-flags=--max-old-space-size=" + std::to_wstring(options.memory_limit_mb);
  SetEnvironmentVariableW(L"WEBVIEW2_ADDITIONAL_BROWSER_ARGUMENTS", arguments.c_str());
}

void notify(qv_event_proc proc, const std::wstring& text) {
  notify_text(proc, quorvel::narrow(text).c_str());
}

void log_line(const std::wstring& line) {
  notify(log_proc, line);
}

// --- the view ---------------------------------------------------------------

struct View {
  qv_view base;
  HWND host = nullptr;
  ComPtr<ICoreWebView2Controller> controller;
  ComPtr<ICoreWebView2> web;
  bool creating = false;
  bool failed = false;
  std::wstring url;   // the page asked for last: where to go once a controller arrives
  std::wstring html;  // or the host's own page, when that came last
  // The runtime's certificate error was reported for the navigation under
  // way; its failed completion then says nothing more.
  bool certificate_reported = false;
  std::map<std::string, std::string> allowed;  // site -> trusted fingerprint
  // The host's own pages are about:blank to the runtime, as is a page that
  // goes there: a navigation that starts while one was asked for is the
  // host's, known by its id from then on.
  bool own_page_asked = false;
  std::set<UINT64> own_navigations;
  std::map<UINT64, std::wstring> addresses;  // navigation id -> address (after redirects)
  std::map<UINT64, const char*> causes;      // navigation id -> how it came
};

View* view_of(qv_view* self) {
  return reinterpret_cast<View*>(self);
}

// Logical pixels (96 per inch) to the host's pixels.
int scaled(HWND host, int logical) {
  using DpiForWindow = UINT(WINAPI*)(HWND);
  static const auto dpi_for =
      quorvel::proc_address<DpiForWindow>(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
  const UINT dpi = dpi_for != nullptr ? dpi_for(host) : 0;
  return MulDiv(logical, dpi != 0 ? static_cast<int>(dpi) : 96, 96);
}

void QV_CALL view_reload(qv_view* self) {
  if (const auto& web = view_of(self)->web) web->Reload();
}

// Without a web view (the browser process is being started again) the page
// waits for the next controller.
void QV_CALL view_load_url(qv_view* self, const char* url) {
  View* v = view_of(self);
  v->url = url != nullptr ? quorvel::wide(url) : std::wstring();
  v->html.clear();
  v->certificate_reported = false;
  if (v->web && !v->url.empty()) v->web->Navigate(v->url.c_str());
}

void QV_CALL view_load_html(qv_view* self, const char* html) {
  View* v = view_of(self);
  v->html = html != nullptr ? quorvel::wide(html) : std::wstring();
  if (!v->web) return;
  v->own_page_asked = true;
  v->web->NavigateToString(v->html.c_str());
}

void QV_CALL view_allow_certificate(qv_view* self, const char* host, const char* fingerprint) {
  if (host == nullptr || fingerprint == nullptr) return;
  view_of(self)->allowed[host] = fingerprint;
}

// A hung page's renderer cannot be ended on its own: the browser process
// goes, and the view is created again (see on_process_failed).
void QV_CALL view_terminate_process(qv_view* self) {
  View* v = view_of(self);
  UINT32 pid = 0;
  if (!v->web || FAILED(v->web->get_BrowserProcessId(&pid)) || pid == 0) return;
  const quorvel::UniqueKernelHandle process =
      quorvel::UniqueKernelHandle::adopt(OpenProcess(PROCESS_TERMINATE, FALSE, pid));
  if (process) TerminateProcess(process.get(), 1);
  log_line(L"the browser process was ended");
}

void QV_CALL view_close_first(qv_view* self) {
  if (const auto& web = view_of(self)->web) web->Stop();
}

void QV_CALL view_set_bounds(qv_view* self, int left, int, int top, int, int width, int, int height,
                             int) {
  View* v = view_of(self);
  if (!v->controller) return;
  const RECT bounds{scaled(v->host, left), scaled(v->host, top), scaled(v->host, left + width),
                    scaled(v->host, top + height)};
  v->controller->put_Bounds(bounds);
}

void QV_CALL view_close_second(qv_view* self) {
  View* v = view_of(self);
  if (!v->controller) return;
  v->controller->Close();
  v->web.reset();
  v->controller.reset();
}

qv_result* QV_CALL view_run_script(qv_view* self, const char* script, intptr_t, intptr_t, intptr_t,
                                   intptr_t) {
  qv_result* result = new_result();
  View* v = view_of(self);
  if (!v->web || script == nullptr) return result;
  const auto done =
      ComPtr<ScriptDone>::adopt(new ScriptDone([](HRESULT, LPCWSTR) { return S_OK; }));
  v->web->ExecuteScript(quorvel::wide(script).c_str(), done.get());
  return result;
}

// The runtime keeps its own downloads, find bar and printing for now.
void QV_CALL view_download_to(qv_view*, int32_t, const char*) {}
void QV_CALL view_cancel_download(qv_view*, int32_t) {}
void QV_CALL view_find(qv_view*, const char*, int32_t) {}
void QV_CALL view_print(qv_view*) {}

void QV_CALL view_set_zoom(qv_view* self, int32_t percent) {
  View* v = view_of(self);
  if (v->controller && percent > 0) v->controller->put_ZoomFactor(percent / 100.0);
}

const qv_view_ops kViewOps = {view_reload,       view_close_first,       view_set_bounds,
                              view_close_second, view_run_script,        set_first_hook,
                              set_second_hook,   release_result,         view_load_url,
                              view_load_html,    view_allow_certificate, view_terminate_process,
                              view_download_to,  view_cancel_download,   view_set_zoom,
                              view_find,         view_print};
View the_view{{&kViewOps}};

// --- creation ------------------------------------------------------------------

void notify_record(qv_event_proc proc, const std::string& internal_record) {
  notify_text(proc, internal_record.c_str());
}

std::wstring source_of(ICoreWebView2* web) {
  LPWSTR source = nullptr;
  if (web != nullptr) web->get_Source(&source);
  return take(source);
}

// A navigation that ended. The runtime's own error page is not what the
// agent should see: a failure, or a server error (5xx), goes to the host,
// which shows its page. A failure for a certificate the host was already
// told about, and a navigation that was only stopped, say nothing.
HRESULT on_navigation_completed(ICoreWebView2* sender,
                                ICoreWebView2NavigationCompletedEventArgs* args) {
  const std::wstring source = source_of(sender);
  BOOL success = TRUE;
  COREWEBVIEW2_WEB_ERROR_STATUS status = 0;
  int http_status = 0;
  UINT64 id = 0;
  if (args != nullptr) args->get_NavigationId(&id);
  View& v = the_view;
  const bool own = v.own_navigations.erase(id) != 0;
  v.addresses.erase(id);
  v.causes.erase(id);
  if (args != nullptr) {
    args->get_IsSuccess(&success);
    args->get_WebErrorStatus(&status);
    ComPtr<ICoreWebView2NavigationCompletedEventArgs2> more;
    if (SUCCEEDED(args->QueryInterface(IID_ICoreWebView2NavigationCompletedEventArgs2,
                                       reinterpret_cast<void**>(more.put()))) &&
        more) {
      more->get_HttpStatusCode(&http_status);
    }
  }
  std::string record;
  if (http_status >= 500) {
    add_field(record, "kind", "http");
    add_field(record, "status", std::to_string(http_status));
    add_field(record, "reason", "HTTP " + std::to_string(http_status));
  } else if (success == FALSE) {
    const std::string kind = failure_kind(status);
    if (kind.empty() || (kind == "tls" && the_view.certificate_reported)) return S_OK;
    add_field(record, "kind", kind);
    add_field(record, "reason", status_words(status));
  } else {
    notify(page_loaded_proc, own ? std::wstring() : source);
    return S_OK;
  }
  add_field(record, "address", quorvel::narrow(source));
  log_line(L"load failed: " + source + L": " + quorvel::wide(status_words(status)));
  notify_record(load_failed_proc, record);
  return S_OK;
}

void report_process(const char* kind, const std::string& reason) {
  std::string record;
  add_field(record, "kind", kind);
  add_field(record, "reason", reason);
  log_line(L"web process event: " + quorvel::wide(kind));
  notify_record(process_event_proc, record);
}

bool start_creation(View& v);

// A process of the runtime failed. A renderer that exited or hangs is the
// host's to recover (it reloads); a browser process that exited took the
// controller with it, so a new environment and controller are made, and
// the page asked for last loads in them.
HRESULT on_process_failed(ICoreWebView2*, ICoreWebView2ProcessFailedEventArgs* args) {
  COREWEBVIEW2_PROCESS_FAILED_KIND kind = 0;
  if (args == nullptr || FAILED(args->get_ProcessFailedKind(&kind))) return S_OK;
  COREWEBVIEW2_PROCESS_FAILED_REASON reason = 0;
  ComPtr<ICoreWebView2ProcessFailedEventArgs2> more;
  if (SUCCEEDED(args->QueryInterface(IID_ICoreWebView2ProcessFailedEventArgs2,
                                     reinterpret_cast<void**>(more.put()))) &&
      more) {
    more->get_Reason(&reason);
  }
  View& v = the_view;
  switch (kind) {
    case 0: {  // the browser process exited
      const std::wstring source = source_of(v.web.get());
      if (v.html.empty() && !source.empty() && source != L"about:blank") v.url = source;
      v.web.reset();
      v.controller.reset();
      report_process("crashed", "browser process exited");
      if (!v.creating) start_creation(v);
      break;
    }
    case 1:  // the page's renderer exited
      report_process(reason == 5 ? "memory" : reason == 2 ? "killed" : "crashed",
                     "render process exited");
      break;
    case 2:  // the page's renderer stopped answering
      report_process("unresponsive", {});
      break;
    default:  // helpers (GPU, utility, frames): the runtime restarts them
      log_line(L"a helper process of the runtime exited: " + std::to_wstring(kind));
      break;
  }
  return S_OK;
}

// A certificate the runtime did not accept: allowed when the agent trusted
// this very certificate for the site, or when the build's extra authority
// signs it for the host (the directory lookup trusts that authority, so
// the console does); otherwise refused, and for the page's own site the
// host is told, so that it asks the agent.
HRESULT on_certificate_error(ICoreWebView2*,
                             ICoreWebView2ServerCertificateErrorDetectedEventArgs* args) {
  if (args == nullptr) return S_OK;
  LPWSTR raw_uri = nullptr;
  args->get_RequestUri(&raw_uri);
  const std::wstring uri = take(raw_uri);
  COREWEBVIEW2_WEB_ERROR_STATUS status = 0;
  args->get_ErrorStatus(&status);
  ComPtr<ICoreWebView2Certificate> certificate;
  args->get_ServerCertificate(certificate.put());
  const quorvel::CertificatePtr context = certificate_of(certificate.get());
  const std::string fingerprint = quorvel::certificate_fingerprint(context.get());
  const std::string site = site_of(uri);
  View& v = the_view;
  const auto allowed = v.allowed.find(site);
  bool allow = !fingerprint.empty() && allowed != v.allowed.end() && allowed->second == fingerprint;
  if (!allow && !options.extra_authority.empty()) {
    const quorvel::CertificatePtr authority = quorvel::certificate_from_pem(options.extra_authority);
    allow = authority && quorvel::chain_trusted(context.get(), authority.get(), hostname_of(uri));
  }
  constexpr COREWEBVIEW2_SERVER_CERTIFICATE_ERROR_ACTION kAlwaysAllow = 0, kCancel = 1;
  args->put_Action(allow ? kAlwaysAllow : kCancel);
  if (!allow && site == site_of(v.url) && !v.certificate_reported) {
    v.certificate_reported = true;
    log_line(L"certificate not accepted: " + uri + L" (" + quorvel::wide(status_words(status)) +
             L")");
    notify_record(tls_error_proc, tls_record(uri, certificate.get(), fingerprint, status));
  }
  return S_OK;
}

bool web_address(const std::wstring& uri) {
  return uri.rfind(L"http://", 0) == 0 || uri.rfind(L"https://", 0) == 0;
}

int ask_host(const std::wstring& uri, const char* cause, bool gesture, bool new_window) {
  std::string record;
  add_field(record, "address", quorvel::narrow(uri));
  add_field(record, "cause", cause);
  add_field(record, "gesture", gesture ? "1" : "0");
  add_field(record, "new_window", new_window ? "1" : "0");
  return ask_navigation(record.c_str());
}

// How a main-frame navigation came: the runtime tells redirects and the
// user's own navigations; a form sends a body, which a link never does.
const char* cause_of(ICoreWebView2NavigationStartingEventArgs* args) {
  BOOL redirected = FALSE, user = FALSE;
  args->get_IsRedirected(&redirected);
  if (redirected != FALSE) return "redirect";
  ComPtr<ICoreWebView2HttpRequestHeaders> headers;
  BOOL body = FALSE;
  if (SUCCEEDED(args->get_RequestHeaders(headers.put())) && headers) {
    headers->Contains(L"Content-Type", &body);
  }
  if (body != FALSE) return "form";
  args->get_IsUserInitiated(&user);
  return user != FALSE ? "link" : "script";
}

// Every main-frame navigation (the runtime asks about frames apart) but
// the host's own pages is the host's to decide, before it leaves.
HRESULT on_navigation_starting(ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs* args) {
  if (args == nullptr) return S_OK;
  UINT64 id = 0;
  args->get_NavigationId(&id);
  LPWSTR uri = nullptr;
  args->get_Uri(&uri);
  const std::wstring address = take(uri);
  View& v = the_view;
  if (v.own_page_asked && !web_address(address)) {
    v.own_page_asked = false;
    v.own_navigations.insert(id);
  }
  v.addresses[id] = address;
  if (v.own_navigations.count(id) != 0) return S_OK;
  const char* cause = cause_of(args);
  v.causes[id] = cause;
  BOOL user = FALSE;
  args->get_IsUserInitiated(&user);
  if (ask_host(address, cause, user != FALSE, false) != QV_NAVIGATE_LOAD) args->put_Cancel(TRUE);
  return S_OK;
}

// A new window: the host's answer; one of the site's own opens in the
// runtime's own window, which has no bridge: what it logs drives nothing.
HRESULT on_new_window(ICoreWebView2*, ICoreWebView2NewWindowRequestedEventArgs* args) {
  if (args == nullptr) return S_OK;
  LPWSTR uri = nullptr;
  args->get_Uri(&uri);
  BOOL user = FALSE;
  args->get_IsUserInitiated(&user);
  const int answer = ask_host(take(uri), user != FALSE ? "link" : "script", user != FALSE, true);
  args->put_Handled(answer == QV_NAVIGATE_OWN_WINDOW ? FALSE : TRUE);
  return S_OK;
}

// What the page asks to use: the host decides, for the frame that asks.
HRESULT on_permission_request(ICoreWebView2*, ICoreWebView2PermissionRequestedEventArgs* args) {
  if (args == nullptr) return S_OK;
  COREWEBVIEW2_PERMISSION_KIND kind = 0;
  args->get_PermissionKind(&kind);
  LPWSTR uri = nullptr;
  args->get_Uri(&uri);
  static constexpr const char* kKinds[] = {"other",         "microphone",    "camera",
                                           "location",      "notifications", "other",
                                           "clipboard",     "other",         "other",
                                           "autoplay"};
  std::string record;
  add_field(record, "kind", kind >= 0 && kind < 10 ? kKinds[kind] : "other");
  add_field(record, "address", quorvel::narrow(take(uri)));
  constexpr COREWEBVIEW2_PERMISSION_STATE kAllow = 1, kDeny = 2;
  args->put_State(ask_permission(record.c_str()) ? kAllow : kDeny);
  return S_OK;
}

// The main frame's new document, before its scripts run. The runtime's
// own error page is none: the failure follows as a completed navigation.
HRESULT on_content_loading(ICoreWebView2* sender, ICoreWebView2ContentLoadingEventArgs* args) {
  if (args == nullptr) return S_OK;
  BOOL error_page = FALSE;
  args->get_IsErrorPage(&error_page);
  if (error_page != FALSE) return S_OK;
  UINT64 id = 0;
  args->get_NavigationId(&id);
  View& v = the_view;
  const auto address = v.addresses.find(id);
  const std::wstring uri = address != v.addresses.end() ? address->second : source_of(sender);
  const bool own = v.own_navigations.count(id) != 0;
  std::string record = committed_record(quorvel::narrow(uri), own);
  const auto cause = v.causes.find(id);
  add_field(record, "cause", cause != v.causes.end() ? cause->second : "other");
  notify_record(committed_proc, record);
  return S_OK;
}

HRESULT on_web_message(ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs* args) {
  LPWSTR raw = nullptr;
  if (args == nullptr || FAILED(args->TryGetWebMessageAsString(&raw))) return S_OK;
  const std::string posted = quorvel::narrow(take(raw));
  std::string_view text;
  if (bridge_message(posted, text)) notify_text(console_proc, std::string(text).c_str());
  return S_OK;
}

// The handlers of the runtime's events, for each web view.
void add_handlers(ICoreWebView2* web) {
  EventRegistrationToken token{};
  const auto added =
      ComPtr<ScriptAdded>::adopt(new ScriptAdded([](HRESULT, LPCWSTR) { return S_OK; }));
  web->AddScriptToExecuteOnDocumentCreated(
      quorvel::wide(console_bridge("window.chrome.webview.postMessage")).c_str(), added.get());
  const auto message = ComPtr<MessageReceived>::adopt(new MessageReceived(on_web_message));
  web->add_WebMessageReceived(message.get(), &token);
  const auto navigation =
      ComPtr<NavigationDone>::adopt(new NavigationDone(on_navigation_completed));
  web->add_NavigationCompleted(navigation.get(), &token);
  const auto starting =
      ComPtr<NavigationStarting>::adopt(new NavigationStarting(on_navigation_starting));
  web->add_NavigationStarting(starting.get(), &token);
  const auto loading = ComPtr<ContentLoading>::adopt(new ContentLoading(on_content_loading));
  web->add_ContentLoading(loading.get(), &token);
  const auto window = ComPtr<NewWindowRequested>::adopt(new NewWindowRequested(on_new_window));
  web->add_NewWindowRequested(window.get(), &token);
  const auto permission = ComPtr<PermissionRequested>::adopt(new PermissionRequested(on_permission_request));
  web->add_PermissionRequested(permission.get(), &token);
  const auto failed = ComPtr<ProcessFailed>::adopt(new ProcessFailed(on_process_failed));
  web->add_ProcessFailed(failed.get(), &token);
  // Older runtimes lack the certificate event: their failed navigation
  // reports the certificate's status instead.
  ComPtr<ICoreWebView2_14> newer;
  if (SUCCEEDED(web->QueryInterface(IID_ICoreWebView2_14, reinterpret_cast<void**>(newer.put()))) &&
      newer) {
    const auto certificate =
        ComPtr<CertificateError>::adopt(new CertificateError(on_certificate_error));
    newer->add_ServerCertificateErrorDetected(certificate.get(), &token);
  }
}

// The controller arrived: size it to the host, wire the events, go to the
// page (or the host's own page, when that was asked for last).
void attach(View& v, ICoreWebView2Controller* controller) {
  controller->AddRef();
  v.controller = ComPtr<ICoreWebView2Controller>::adopt(controller);
  controller->get_CoreWebView2(v.web.put());
  RECT area{};
  GetClientRect(v.host, &area);
  // The bottom 30 pixels of the host stay free, as on Linux.
  area.bottom = area.bottom > scaled(v.host, 31) ? area.bottom - scaled(v.host, 30) : 1;
  controller->put_Bounds(area);
  controller->put_IsVisible(TRUE);
  if (!v.web) return;
  ComPtr<ICoreWebView2Settings> settings;
  if (SUCCEEDED(v.web->get_Settings(settings.put())) && settings) {
    settings->put_IsWebMessageEnabled(TRUE);
  }
  add_handlers(v.web.get());
  if (!v.html.empty()) {
    v.own_page_asked = true;
    v.web->NavigateToString(v.html.c_str());
  } else if (!v.url.empty()) {
    v.web->Navigate(v.url.c_str());
  }
}

// Asks the runtime for an environment, then a controller; the callbacks
// reach only the view, which lives as long as the process.
bool start_creation(View& v) {
  const Runtime runtime = find_runtime();
  if (!runtime) return false;
  v.creating = true;
  v.failed = false;
  // The environment's handler holds the controller's handler until it ran.
  const auto controller_done = ComPtr<ControllerDone>::adopt(
      new ControllerDone([&v](HRESULT status, ICoreWebView2Controller* c) {
        if (SUCCEEDED(status) && c != nullptr && !v.controller) {
          attach(v, c);
        } else {
          v.failed = true;
          log_line(L"the web view could not be created");
        }
        v.creating = false;
        return S_OK;
      }));
  const auto environment_done = ComPtr<EnvironmentDone>::adopt(
      new EnvironmentDone([&v, controller_done](HRESULT status, ICoreWebView2Environment* e) {
        if (FAILED(status) || e == nullptr ||
            FAILED(e->CreateCoreWebView2Controller(v.host, controller_done.get()))) {
          v.failed = true;
          v.creating = false;
        }
        return S_OK;
      }));
  apply_memory_limit();
  const std::wstring data = user_data_folder();
  const HRESULT started =
      runtime.internal != nullptr
          ? runtime.internal(true, 0, data.c_str(), nullptr, environment_done.get())
          : runtime.with_options(nullptr, data.c_str(), nullptr, environment_done.get());
  if (FAILED(started)) {
    v.failed = true;
    v.creating = false;
  }
  return !v.failed;
}

// The first creation: pumps messages until the controller arrived or
// creation failed. A callback that comes after the timeout finds nothing
// of this call's frame.
bool create(View& v) {
  if (!start_creation(v)) return false;
  const DWORD start = GetTickCount();
  while (v.creating && GetTickCount() - start < kCreateTimeoutMs) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  return !v.failed && v.controller;
}

}  // namespace

extern "C" {

QV_EXPORT void QV_CALL webview2_dllwrite(void) {}

QV_EXPORT int QV_CALL ormixwebview_has_edge(void) {
  return find_runtime() ? 1 : 0;
}

QV_EXPORT void QV_CALL ormixwebview_init(int, qv_converter** converter, qv_events** events) {
  hand_out_objects(converter, events);
}

QV_EXPORT void QV_CALL ormixwebview_log(qv_event_proc proc) {
  log_proc = proc;
}

// Settings before the first open (engine_api.h).
QV_EXPORT void QV_CALL ormixwebview_set_option(const char* name, const char* value) {
  if (name == nullptr || value == nullptr) return;
  const std::string key = name;
  if (key == "data_directory") {
    options.data_directory = quorvel::wide(value);
  } else if (key == "memory_limit_mb") {
    options.memory_limit_mb = std::atoi(value);
  } else if (key == "extra_authority") {
    options.extra_authority = value;
  }
}

QV_EXPORT qv_view* QV_CALL ormixwebview_open(intptr_t host, const char* url, qv_open_options*) {
  const auto window = reinterpret_cast<HWND>(host);
  if (window == nullptr || !IsWindow(window) || the_view.controller || the_view.creating) {
    return nullptr;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  the_view.host = window;
  the_view.url = url != nullptr ? quorvel::wide(url) : std::wstring();
  if (!create(the_view)) {
    log_line(L"the web view could not be created");
    return nullptr;
  }
  return &the_view.base;
}

}  // extern "C"
