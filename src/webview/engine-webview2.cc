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
#include <string>
#include <vector>

#include "base/com_ptr-win32.h"
#include "base/proc_address-win32.h"
#include "base/unique_handle.h"
#include "base/wide-win32.h"
#include "webview/engine_api.h"
#include "webview/engine_objects.h"
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

// The user data folder, under the user's local application data.
std::wstring user_data_folder() {
  wchar_t base[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, base))) return {};
  return std::wstring(base) + L"\\Quorvel\\WebView2";
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
  std::wstring url;  // where to go once the controller arrived
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

const qv_view_ops kViewOps = {view_reload,     view_close_first, view_set_bounds, view_close_second,
                              view_run_script, set_first_hook,   set_second_hook, release_result};
View the_view{{&kViewOps}, nullptr, {}, {}, false, false, {}};

// --- creation ------------------------------------------------------------------

HRESULT on_navigation_completed(ICoreWebView2* sender, ICoreWebView2NavigationCompletedEventArgs*) {
  LPWSTR source = nullptr;
  if (sender != nullptr) sender->get_Source(&source);
  notify(page_loaded_proc, take(source));
  return S_OK;
}

HRESULT on_web_message(ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs* args) {
  LPWSTR text = nullptr;
  if (args != nullptr && SUCCEEDED(args->TryGetWebMessageAsString(&text))) {
    notify(console_proc, take(text));
  }
  return S_OK;
}

// The controller arrived: size it to the host, wire the events, go to the
// page.
void attach(View& v, ICoreWebView2Controller* controller, const std::wstring& url) {
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
  EventRegistrationToken token{};
  const auto added =
      ComPtr<ScriptAdded>::adopt(new ScriptAdded([](HRESULT, LPCWSTR) { return S_OK; }));
  v.web->AddScriptToExecuteOnDocumentCreated(
      quorvel::wide(console_bridge("window.chrome.webview.postMessage")).c_str(), added.get());
  const auto message = ComPtr<MessageReceived>::adopt(new MessageReceived(on_web_message));
  v.web->add_WebMessageReceived(message.get(), &token);
  const auto navigation =
      ComPtr<NavigationDone>::adopt(new NavigationDone(on_navigation_completed));
  v.web->add_NavigationCompleted(navigation.get(), &token);
  if (!url.empty()) v.web->Navigate(url.c_str());
}

// Starts the environment, then the controller, pumping messages until the
// controller arrived or creation failed. The callbacks reach only the
// view, which lives as long as the process: one that comes after the
// timeout finds nothing of this call's frame.
bool create(View& v) {
  const Runtime runtime = find_runtime();
  if (!runtime) return false;
  v.creating = true;
  v.failed = false;
  // The environment's handler holds the controller's handler until it ran.
  const auto controller_done = ComPtr<ControllerDone>::adopt(
      new ControllerDone([&v](HRESULT status, ICoreWebView2Controller* c) {
        if (SUCCEEDED(status) && c != nullptr && !v.controller) {
          attach(v, c, v.url);
        } else {
          v.failed = true;
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
  const std::wstring data = user_data_folder();
  const HRESULT started =
      runtime.internal != nullptr
          ? runtime.internal(true, 0, data.c_str(), nullptr, environment_done.get())
          : runtime.with_options(nullptr, data.c_str(), nullptr, environment_done.get());
  if (FAILED(started)) {
    v.failed = true;
    v.creating = false;
  }
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
