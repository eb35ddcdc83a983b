// A stand-in for the WebView2 runtime's embedded-browser library, for the
// engine library's tests under Wine: it creates an environment, a
// controller and a web view that record what the engine asks of them, and
// answers navigation with a completed navigation and one page message.
#include <windows.h>

#include <cstring>
#include <string>

#include "webview/fake_webview2_state-win32.h"
#include "webview/webview2_stubs-win32.h"

using namespace quorvel::webview2;

namespace {

FakeWebView2State state;

// A text the way COM hands one out: the receiver frees it.
LPWSTR co_text(const std::wstring& text) {
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  auto* out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (out != nullptr) std::memcpy(out, text.c_str(), bytes);
  return out;
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

struct NavigationArgs : Unknown<ICoreWebView2NavigationCompletedEventArgsStub> {};

struct Settings : Unknown<ICoreWebView2SettingsStub> {
  HRESULT STDMETHODCALLTYPE put_IsWebMessageEnabled(BOOL) override { return S_OK; }
};

struct WebView : Unknown<ICoreWebView2Stub> {
  Settings settings;
  ICoreWebView2NavigationCompletedEventHandler* navigation = nullptr;
  ICoreWebView2WebMessageReceivedEventHandler* messages = nullptr;

  HRESULT STDMETHODCALLTYPE get_Settings(ICoreWebView2Settings** out) override {
    *out = &settings;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* out) override {
    *out = co_text(state.navigated);
    return S_OK;
  }
  // The page loads later, from the message loop, as a real one does: the
  // navigation completes, then the page posts one message.
  HRESULT STDMETHODCALLTYPE Navigate(LPCWSTR uri) override {
    state.navigated = uri;
    loading = this;
    SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR timer, DWORD) {
      KillTimer(nullptr, timer);
      WebView* web = loading;
      loading = nullptr;
      if (web == nullptr) return;
      NavigationArgs done;
      if (web->navigation != nullptr) web->navigation->Invoke(web, &done);
      MessageArgs message;
      message.text = L"settitle=>\u5ba2\u670d \"quoted\"";
      if (web->messages != nullptr) web->messages->Invoke(web, &message);
    });
    return S_OK;
  }
  static inline WebView* loading = nullptr;
  HRESULT STDMETHODCALLTYPE add_NavigationCompleted(ICoreWebView2NavigationCompletedEventHandler* h,
                                                    EventRegistrationToken*) override {
    navigation = h;
    h->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* h,
                                                   EventRegistrationToken*) override {
    messages = h;
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
  state.user_data = user_data != nullptr ? user_data : L"";
  return done->Invoke(S_OK, &Environment::environment());
}

__declspec(dllexport) FakeWebView2State* fake_state() {
  return &state;
}

}  // extern "C"
