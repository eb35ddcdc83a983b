// The engine library over WebView2 against a stand-in runtime registered
// the way the real one is: the runtime search, creation while the window
// keeps pumping, the page's events, scripts, bounds and the closing calls.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/file.h"
#include "base/proc_address-win32.h"
#include "base/wide-win32.h"
#include "webview/engine_api.h"
#include "webview/fake_webview2_state-win32.h"

namespace quorvel {
namespace {

constexpr wchar_t kRuntimeKey[] =
    L"SOFTWARE\\Microsoft\\EdgeUpdate\\ClientState\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";

std::string loaded, console, logged;
void QV_CALL on_loaded(int64_t text) {
  loaded = reinterpret_cast<const char*>(static_cast<intptr_t>(text));
}
void QV_CALL on_console(int64_t text) {
  console = reinterpret_cast<const char*>(static_cast<intptr_t>(text));
}
void QV_CALL on_log(int64_t text) {
  logged = reinterpret_cast<const char*>(static_cast<intptr_t>(text));
}

// Installs the stand-in as the current user's runtime, in the registry's
// 32-bit view as the real installer does.
std::wstring register_fake_runtime() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder =
      std::wstring(temp) + L"quorvel-runtime-" + std::to_wstring(GetCurrentProcessId());
  const std::wstring library_folder = folder + L"\\EBWebView\\x64";
  if (!file::make_directories(narrow(library_folder))) return {};
  if (!CopyFileW(wide(FAKE_RUNTIME).c_str(),
                 (library_folder + L"\\EmbeddedBrowserWebView.dll").c_str(), FALSE)) {
    return {};
  }
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kRuntimeKey, 0, nullptr, 0, KEY_WRITE | KEY_WOW64_32KEY,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return {};
  }
  RegSetValueExW(key, L"EBWebView", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                 static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return folder;
}

TEST(WebView2Engine, FindsTheRuntimeAndDrivesItsView) {
  const HMODULE engine = LoadLibraryW(wide(ENGINE_LIBRARY).c_str());
  ASSERT_NE(engine, nullptr);
  const auto has_edge = quorvel::proc_address<qv_has_edge_fn>(engine, "ormixwebview_has_edge");
  const auto init = quorvel::proc_address<qv_init_fn>(engine, "ormixwebview_init");
  const auto log = quorvel::proc_address<qv_log_fn>(engine, "ormixwebview_log");
  const auto open = quorvel::proc_address<qv_open_fn>(engine, "ormixwebview_open");
  ASSERT_TRUE(has_edge && init && log && open &&
              quorvel::proc_address<qv_dllwrite_fn>(engine, "webview2_dllwrite"));
  RegDeleteKeyExW(HKEY_CURRENT_USER, kRuntimeKey, KEY_WOW64_32KEY, 0);  // an earlier run's
  EXPECT_EQ(has_edge(), 0);  // nothing installed in a fresh prefix

  ASSERT_FALSE(register_fake_runtime().empty());
  EXPECT_EQ(has_edge(), 1);
  const HMODULE runtime = GetModuleHandleW(L"EmbeddedBrowserWebView.dll");
  ASSERT_NE(runtime, nullptr);
  FakeWebView2State& fake = *quorvel::proc_address<FakeStateFunction>(runtime, "fake_state")();

  qv_converter* converter = nullptr;
  qv_events* events = nullptr;
  init(0, &converter, &events);
  ASSERT_TRUE(converter && events);
  events->ops->on_page_loaded(events, 1, on_loaded);
  events->ops->on_console_message(events, 1, on_console);
  log(on_log);
  HWND host = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                              nullptr, nullptr, nullptr);
  qv_open_options options{};
  const Text url = from_utf8("https://site.test/客服");
  qv_view* view = open(reinterpret_cast<intptr_t>(host), url.c_str(), &options);
  ASSERT_NE(view, nullptr) << logged;
  EXPECT_EQ(fake.parent, host);
  EXPECT_EQ(fake.visible, 1);
  EXPECT_EQ(fake.navigated, L"https://site.test/\u5ba2\u670d");
  EXPECT_NE(fake.document_script.find(L"chrome.webview.postMessage(parts.join(' '))"),
            std::wstring::npos);
  EXPECT_NE(fake.user_data.find(L"\\Quorvel\\WebView2"), std::wstring::npos);
  // The page's events come from the message loop.
  for (int i = 0; i < 100 && console.empty(); ++i) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    Sleep(10);
  }
  EXPECT_EQ(loaded, url);
  EXPECT_EQ(console, from_utf8("settitle=>客服 \"quoted\""));
  char* text = converter->ops->argument_to_text(converter, 0);
  EXPECT_STREQ(text, "");
  converter->ops->release_text(converter, text);

  qv_result* result =
      view->ops->run_script(view, from_utf8("vueapp.x('中文')").c_str(), 0, 0, 0, 0);
  EXPECT_EQ(fake.last_script, L"vueapp.x('\u4e2d\u6587')");
  view->ops->release_result(view, result);
  view->ops->set_bounds(view, 10, 1, 20, 1, 300, 1, 200, 1);
  const UINT dpi = GetDpiForWindow(host) != 0 ? GetDpiForWindow(host) : 96;
  EXPECT_EQ(fake.bounds.left, MulDiv(10, static_cast<int>(dpi), 96));
  EXPECT_EQ(fake.bounds.bottom, MulDiv(220, static_cast<int>(dpi), 96));
  view->ops->reload(view);
  view->ops->close_first(view);
  view->ops->close_second(view);
  EXPECT_EQ(fake.reloads, 1);
  EXPECT_EQ(fake.stops, 1);
  EXPECT_EQ(fake.closes, 1);

  RegDeleteKeyExW(HKEY_CURRENT_USER, kRuntimeKey, KEY_WOW64_32KEY, 0);
  DestroyWindow(host);
}

}  // namespace
}  // namespace quorvel
