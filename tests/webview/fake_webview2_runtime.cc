// A stand-in for the WebView2 runtime's embedded-browser library, for the
// engine library's tests under Wine: it creates an environment, a
// controller and a web view that record what the engine asks of them, and
// answers a navigation later, from the message loop, as the real one does:
// a completed navigation, then one page message. Asked through its state,
// or for the client's end-to-end test through QUORVEL_FAKE_SCENARIO
// ("fail=N,crash-after-load,certificate,click=ACTION"), it fails
// navigations, raises certificate errors and process failures, and
// "clicks" a button of the host's own pages.
#include <windows.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "webview/fake_webview2_state-win32.h"
#include "webview/webview2_stubs-win32.h"

using namespace quorvel::webview2;

namespace {

FakeWebView2State state;
bool crash_after_load = false;

// A text the way COM hands one out: the receiver frees it.
LPWSTR co_text(const std::wstring& text) {
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  auto* out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (out != nullptr) std::memcpy(out, text.c_str(), bytes);
  return out;
}

std::wstring widen(const std::string& ascii) {
  return std::wstring(ascii.begin(), ascii.end());
}

// A line per call the end-to-end test checks, when it asks for a log.
void log_call(const std::wstring& line) {
  wchar_t path[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"QUORVEL_FAKE_LOG", path, MAX_PATH) == 0) return;
  const HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::wstring text = line + L"\n";
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), n, nullptr, nullptr);
  DWORD written = 0;
  WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size() - 1), &written, nullptr);
  CloseHandle(file);
}

// The scenario of the client's end-to-end test.
void read_scenario() {
  wchar_t text[512] = {};
  if (GetEnvironmentVariableW(L"QUORVEL_FAKE_SCENARIO", text, 512) == 0) return;
  std::wstringstream items(text);
  std::wstring item;
  while (std::getline(items, item, L',')) {
    if (item.rfind(L"fail=", 0) == 0) state.fail_navigations = _wtoi(item.c_str() + 5);
    if (item == L"crash-after-load") crash_after_load = true;
    if (item == L"certificate") state.certificate_errors = true;
    if (item.rfind(L"click=", 0) == 0) state.click = item.substr(6);
  }
  if (state.certificate_errors && state.certificate_pem.empty()) {
    wchar_t path[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"QUORVEL_FAKE_CERTIFICATE", path, MAX_PATH) != 0) {
      std::ifstream in(path, std::ios::binary);
      state.certificate_pem.assign(std::istreambuf_iterator<char>(in), {});
    }
  }
}

template <typename Interface>
struct Unknown : Interface {
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

struct MessageArgs : Unknown<ICoreWebView2WebMessageReceivedEventArgsStub> {
  std::wstring text;
  HRESULT STDMETHODCALLTYPE TryGetWebMessageAsString(LPWSTR* out) override {
    *out = co_text(text);
    return S_OK;
  }
};

struct NavigationArgs : Unknown<ICoreWebView2NavigationCompletedEventArgs2Stub> {
  BOOL success = TRUE;
  int status = 0, http = 200;
  UINT64 id = 0;
  HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* out) override {
    *out = id;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_IsSuccess(BOOL* out) override {
    *out = success;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_WebErrorStatus(COREWEBVIEW2_WEB_ERROR_STATUS* out) override {
    *out = status;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_HttpStatusCode(int* out) override {
    *out = http;
    return S_OK;
  }
};

struct RequestHeaders : Unknown<ICoreWebView2HttpRequestHeadersStub> {
  bool body = false;
  HRESULT STDMETHODCALLTYPE Contains(LPCWSTR name, BOOL* out) override {
    *out = body && std::wstring(name) == L"Content-Type" ? TRUE : FALSE;
    return S_OK;
  }
};

struct StartingArgs : Unknown<ICoreWebView2NavigationStartingEventArgsStub> {
  std::wstring uri;
  UINT64 id = 0;
  BOOL user = FALSE, cancel = FALSE;
  RequestHeaders headers;
  HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* out) override {
    *out = co_text(uri);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* out) override {
    *out = user;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_IsRedirected(BOOL* out) override {
    *out = FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_RequestHeaders(ICoreWebView2HttpRequestHeaders** out) override {
    *out = &headers;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Cancel(BOOL value) override {
    cancel = value;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* out) override {
    *out = id;
    return S_OK;
  }
};

struct NewWindowArgs : Unknown<ICoreWebView2NewWindowRequestedEventArgsStub> {
  std::wstring uri;
  BOOL user = FALSE, handled = FALSE;
  HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* out) override {
    *out = co_text(uri);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_IsUserInitiated(BOOL* out) override {
    *out = user;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Handled(BOOL value) override {
    handled = value;
    return S_OK;
  }
};

struct PermissionArgs : Unknown<ICoreWebView2PermissionRequestedEventArgsStub> {
  std::wstring uri;
  int kind = 0, state = 0;
  HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* out) override {
    *out = co_text(uri);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_PermissionKind(COREWEBVIEW2_PERMISSION_KIND* out) override {
    *out = kind;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_State(COREWEBVIEW2_PERMISSION_STATE value) override {
    state = value;
    return S_OK;
  }
};

struct LoadingArgs : Unknown<ICoreWebView2ContentLoadingEventArgsStub> {
  UINT64 id = 0;
  HRESULT STDMETHODCALLTYPE get_IsErrorPage(BOOL* out) override {
    *out = FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* out) override {
    *out = id;
    return S_OK;
  }
};

struct FailedArgs : Unknown<ICoreWebView2ProcessFailedEventArgs2Stub> {
  int kind = 0, reason = 0;
  HRESULT STDMETHODCALLTYPE get_ProcessFailedKind(COREWEBVIEW2_PROCESS_FAILED_KIND* out) override {
    *out = kind;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Reason(COREWEBVIEW2_PROCESS_FAILED_REASON* out) override {
    *out = reason;
    return S_OK;
  }
};

struct Certificate : Unknown<ICoreWebView2CertificateStub> {
  HRESULT STDMETHODCALLTYPE get_Subject(LPWSTR* out) override {
    *out = co_text(L"127.0.0.1");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Issuer(LPWSTR* out) override {
    *out = co_text(L"Quorvel Untrusted");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_ValidFrom(double* out) override {
    *out = 1'700'000'000;  // 2023-11-14T22:13:20Z
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_ValidTo(double* out) override {
    *out = 2'000'000'000;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ToPemEncoding(LPWSTR* out) override {
    *out = co_text(widen(state.certificate_pem));
    return S_OK;
  }
};

struct CertificateArgs : Unknown<ICoreWebView2ServerCertificateErrorDetectedEventArgsStub> {
  Certificate certificate;
  std::wstring uri;
  HRESULT STDMETHODCALLTYPE get_ErrorStatus(COREWEBVIEW2_WEB_ERROR_STATUS* out) override {
    *out = 5;  // certificate is invalid
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_RequestUri(LPWSTR* out) override {
    *out = co_text(uri);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_ServerCertificate(ICoreWebView2Certificate** out) override {
    *out = &certificate;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Action(COREWEBVIEW2_SERVER_CERTIFICATE_ERROR_ACTION a) override {
    state.certificate_action = a;
    return S_OK;
  }
};

struct Settings : Unknown<ICoreWebView2SettingsStub> {
  HRESULT STDMETHODCALLTYPE put_IsWebMessageEnabled(BOOL) override { return S_OK; }
};

// The action of a button on the host's page: the text its click logs.
std::wstring button_text(const std::wstring& html, const std::wstring& action) {
  const std::wstring marker = L"quorvel-action=>";
  for (std::size_t at = html.find(marker); at != std::wstring::npos;
       at = html.find(marker, at + 1)) {
    const std::size_t end = html.find(L'\'', at);
    const std::wstring text = html.substr(at, end - at);
    if (text.size() > action.size() && text.substr(text.size() - action.size()) == action &&
        text[text.size() - action.size() - 1] == L':') {
      return text;
    }
  }
  return {};
}

// What the engine's bridge puts before each message, read from the script
// it added, as its page script would post it.
std::wstring bridge_token() {
  const std::wstring& script = state.document_script;
  const std::size_t at = script.find(L"post('");
  if (at == std::wstring::npos) return {};
  const std::size_t end = script.find(L'\'', at + 6);
  return script.substr(at + 6, end - at - 6);
}

struct WebView : Unknown<ICoreWebView2_14Stub> {
  Settings settings;
  std::wstring source;
  ICoreWebView2NavigationCompletedEventHandler* navigation = nullptr;
  ICoreWebView2WebMessageReceivedEventHandler* messages = nullptr;
  ICoreWebView2ProcessFailedEventHandler* failures = nullptr;
  ICoreWebView2ServerCertificateErrorDetectedEventHandler* certificates = nullptr;
  ICoreWebView2NavigationStartingEventHandler* starting = nullptr;
  ICoreWebView2ContentLoadingEventHandler* content = nullptr;
  ICoreWebView2NewWindowRequestedEventHandler* new_windows = nullptr;
  ICoreWebView2PermissionRequestedEventHandler* permissions = nullptr;
  bool loading_html = false;
  bool by_user = false, with_body = false;  // how the page's own navigation came
  UINT64 navigation_id = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (state.old_runtime && IsEqualIID(iid, IID_ICoreWebView2_14)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = this;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Settings(ICoreWebView2Settings** out) override {
    *out = &settings;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* out) override {
    *out = co_text(source);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_BrowserProcessId(UINT32* out) override {
    *out = state.browser_pid;
    return S_OK;
  }
  // The page loads later, from the message loop, as a real one does.
  void load_later(bool html) {
    loading_html = html;
    ++navigation_id;
    loading = this;
    SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR timer, DWORD) {
      KillTimer(nullptr, timer);
      WebView* web = loading;
      loading = nullptr;
      if (web != nullptr) web->finish_load();
    });
  }
  // The runtime's order: starting (which the host may cancel), the new
  // document (only when it loads), completed; the id pairs them.
  bool start_navigation() {
    StartingArgs args;
    args.uri = loading_html ? L"about:blank" : source;
    args.id = navigation_id;
    args.user = by_user ? TRUE : FALSE;
    args.headers.body = with_body;
    by_user = with_body = false;
    if (starting != nullptr) starting->Invoke(this, &args);
    if (args.cancel != FALSE) log_call(L"cancelled " + args.uri);
    return args.cancel == FALSE;
  }
  void commit_document() {
    LoadingArgs args;
    args.id = navigation_id;
    if (content != nullptr) content->Invoke(this, &args);
  }
  void finish_load() {
    NavigationArgs done;
    done.id = navigation_id;
    if (!start_navigation()) {
      ++state.cancelled;
      done.success = FALSE;
      done.status = 14;  // operation canceled
      if (navigation != nullptr) navigation->Invoke(this, &done);
      return;
    }
    if (loading_html) {
      commit_document();
      if (navigation != nullptr) navigation->Invoke(this, &done);
      const std::wstring click = state.click.empty() ? std::wstring() : button_text(state.html, state.click);
      if (!click.empty() && messages != nullptr) {
        log_call(L"click " + state.click);
        MessageArgs message;
        message.text = bridge_token() + click;
        messages->Invoke(this, &message);
      }
      return;
    }
    if (state.certificate_errors && certificates != nullptr && !state.old_runtime) {
      CertificateArgs args;
      args.uri = source;
      state.certificate_action = -1;
      certificates->Invoke(this, &args);
      log_call(L"certificate " + std::to_wstring(state.certificate_action));
      if (state.certificate_action != 0) {
        done.success = FALSE;
        done.status = 5;
      }
    } else if (state.certificate_errors && state.old_runtime) {
      done.success = FALSE;
      done.status = 5;
    } else if (state.fail_navigations > 0) {
      --state.fail_navigations;
      done.success = FALSE;
      done.status = state.fail_status;
    }
    done.http = done.success ? state.http_status : 0;
    if (done.success) commit_document();
    log_call(done.success ? L"loaded " + source : L"failed " + std::to_wstring(done.status));
    if (navigation != nullptr) navigation->Invoke(this, &done);
    if (!done.success || done.http >= 500) return;
    MessageArgs message;
    message.text = bridge_token() + L"settitle=>\u5ba2\u670d \"quoted\"";
    if (messages != nullptr) messages->Invoke(this, &message);
    if (crash_after_load) {
      crash_after_load = false;
      fail(1, 3);  // the renderer crashed
    }
  }
  void fail(int kind, int reason) {
    log_call(L"process failed " + std::to_wstring(kind));
    FailedArgs args;
    args.kind = kind;
    args.reason = reason;
    if (failures != nullptr) failures->Invoke(this, &args);
  }
  HRESULT STDMETHODCALLTYPE Navigate(LPCWSTR uri) override {
    state.navigated = uri;
    source = uri;
    ++state.navigations;
    log_call(L"navigate " + source);
    load_later(false);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE NavigateToString(LPCWSTR html) override {
    state.html = html;
    source = L"about:blank";
    ++state.html_loads;
    const std::size_t title = state.html.find(L"<title>");
    log_call(L"html " + (title == std::wstring::npos
                             ? std::wstring()
                             : state.html.substr(title + 7, state.html.find(L"</title>") - title - 7)));
    load_later(true);
    return S_OK;
  }
  static inline WebView* loading = nullptr;
  HRESULT STDMETHODCALLTYPE add_NavigationCompleted(ICoreWebView2NavigationCompletedEventHandler* h,
                                                    EventRegistrationToken*) override {
    navigation = h;
    h->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE add_NavigationStarting(ICoreWebView2NavigationStartingEventHandler* h,
                                                   EventRegistrationToken*) override {
    starting = h;
    h->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE add_NewWindowRequested(ICoreWebView2NewWindowRequestedEventHandler* h,
                                                   EventRegistrationToken*) override {
    new_windows = h;
    h->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE add_PermissionRequested(ICoreWebView2PermissionRequestedEventHandler* h,
                                                    EventRegistrationToken*) override {
    permissions = h;
    h->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE add_ContentLoading(ICoreWebView2ContentLoadingEventHandler* h,
                                               EventRegistrationToken*) override {
    content = h;
    h->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* h,
                                                   EventRegistrationToken*) override {
    messages = h;
    h->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE add_ProcessFailed(ICoreWebView2ProcessFailedEventHandler* h,
                                              EventRegistrationToken*) override {
    failures = h;
    h->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE add_ServerCertificateErrorDetected(
      ICoreWebView2ServerCertificateErrorDetectedEventHandler* h, EventRegistrationToken*) override {
    certificates = h;
    h->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE AddScriptToExecuteOnDocumentCreated(
      LPCWSTR script,
      ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* done) override {
    state.document_script = script;
    done->Invoke(S_OK, L"1");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE
  ExecuteScript(LPCWSTR script, ICoreWebView2ExecuteScriptCompletedHandler* done) override {
    state.last_script = script;
    if (done != nullptr) done->Invoke(S_OK, L"null");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Reload() override {
    ++state.reloads;
    log_call(L"reload");
    load_later(source == L"about:blank");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Stop() override {
    ++state.stops;
    return S_OK;
  }
};

struct Controller : Unknown<ICoreWebView2ControllerStub> {
  WebView web;
  HRESULT STDMETHODCALLTYPE put_IsVisible(BOOL visible) override {
    state.visible = visible;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Bounds(RECT bounds) override {
    state.bounds = bounds;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Close() override {
    ++state.closes;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_CoreWebView2(ICoreWebView2** out) override {
    *out = &web;
    return S_OK;
  }
};

struct Environment : Unknown<ICoreWebView2EnvironmentStub> {
  Controller controller;
  HRESULT STDMETHODCALLTYPE CreateCoreWebView2Controller(
      HWND parent, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* done) override {
    state.parent = parent;
    // The real runtime answers later, from the message loop.
    done->AddRef();
    pending = done;
    SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR timer, DWORD) {
      KillTimer(nullptr, timer);
      ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler = pending;
      pending = nullptr;
      if (handler == nullptr) return;
      handler->Invoke(S_OK, &environment().controller);
      handler->Release();
    });
    return S_OK;
  }
  static inline ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* pending = nullptr;
  static Environment& environment() {
    static Environment e;
    return e;
  }
};

}  // namespace

extern "C" {

__declspec(dllexport) HRESULT STDMETHODCALLTYPE CreateWebViewEnvironmentWithOptionsInternal(
    bool, int, PCWSTR user_data, IUnknown*,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* done) {
  static bool scenario_read = false;
  if (!scenario_read) {
    scenario_read = true;
    read_scenario();
  }
  state.user_data = user_data != nullptr ? user_data : L"";
  return done->Invoke(S_OK, &Environment::environment());
}

__declspec(dllexport) FakeWebView2State* fake_state() {
  return &state;
}

__declspec(dllexport) void fake_fail_process(int kind, int reason) {
  Environment::environment().controller.web.fail(kind, reason);
}

// The page itself goes somewhere: by the user's click, by a form, or by a
// script.
__declspec(dllexport) void fake_page_navigates(const wchar_t* uri, int by_user, int with_body) {
  WebView& web = Environment::environment().controller.web;
  web.source = uri;
  web.by_user = by_user != 0;
  web.with_body = with_body != 0;
  web.load_later(false);
}

// The page asks to use something: the state the engine set (1 allow, 2
// deny, 0 none).
__declspec(dllexport) int fake_permission(const wchar_t* uri, int kind) {
  WebView& web = Environment::environment().controller.web;
  PermissionArgs args;
  args.uri = uri;
  args.kind = kind;
  if (web.permissions != nullptr) web.permissions->Invoke(&web, &args);
  return args.state;
}

// The page asks for a new window: whether the host handled it (1), or left
// it to the runtime's own window (0).
__declspec(dllexport) int fake_new_window(const wchar_t* uri, int by_user) {
  WebView& web = Environment::environment().controller.web;
  NewWindowArgs args;
  args.uri = uri;
  args.user = by_user != 0 ? TRUE : FALSE;
  if (web.new_windows != nullptr) web.new_windows->Invoke(&web, &args);
  log_call(std::wstring(L"new window ") + uri + (args.handled != FALSE ? L" handled" : L" left to the runtime"));
  return args.handled != FALSE ? 1 : 0;
}

}  // extern "C"
