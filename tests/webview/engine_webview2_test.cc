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

std::string loaded, console, logged, failed, process, certificate, committed;
void QV_CALL on_loaded(int64_t text) {
  loaded = reinterpret_cast<const char*>(static_cast<intptr_t>(text));
}
void QV_CALL on_failed(int64_t text) {
  failed = reinterpret_cast<const char*>(static_cast<intptr_t>(text));
}
void QV_CALL on_process(int64_t text) {
  process = reinterpret_cast<const char*>(static_cast<intptr_t>(text));
}
// The host's answers to the page's navigations: another site's pages are
// cancelled (the host opens them on the desktop), a new window of the site
// is a window of its own, the rest loads.
std::string asked;
int32_t QV_CALL on_navigation(int64_t text) {
  asked = reinterpret_cast<const char*>(static_cast<intptr_t>(text));
  const bool other = asked.find("address=https://other.test") != std::string::npos;
  const bool new_window = asked.find("new_window=1") != std::string::npos;
  if (other) return QV_NAVIGATE_CANCEL;
  return new_window ? QV_NAVIGATE_OWN_WINDOW : QV_NAVIGATE_LOAD;
}
// The host allows the microphone and the clipboard, nothing else.
std::string asked_permission;
int32_t QV_CALL on_permission(int64_t text) {
  asked_permission = reinterpret_cast<const char*>(static_cast<intptr_t>(text));
  return asked_permission.find("kind=microphone") != std::string::npos ||
                 asked_permission.find("kind=clipboard") != std::string::npos
             ? 1
             : 0;
}
void QV_CALL on_committed(int64_t text) {
  committed = reinterpret_cast<const char*>(static_cast<intptr_t>(text));
}
void QV_CALL on_certificate(int64_t text) {
  certificate = reinterpret_cast<const char*>(static_cast<intptr_t>(text));
}

// Pumps the window thread's messages until `done` or 2 s have passed.
template <typename Done>
bool pump_until(Done done) {
  for (int i = 0; i < 200 && !done(); ++i) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    Sleep(10);
  }
  return done();
}

// One "name=value" line of an event record.
std::string field(const std::string& record, const std::string& name) {
  const std::size_t at = record.find(name + "=");
  if (at == std::string::npos || (at != 0 && record[at - 1] != '\n')) return {};
  const std::size_t start = at + name.size() + 1;
  return record.substr(start, record.find('\n', start) - start);
}

std::string read_text(const char* path) {
  return file::read(path).value_or(std::string());
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
  // A second test finds it there, loaded already.
  const std::wstring library = library_folder + L"\\EmbeddedBrowserWebView.dll";
  if (!CopyFileW(wide(FAKE_RUNTIME).c_str(), library.c_str(), FALSE) &&
      GetFileAttributesW(library.c_str()) == INVALID_FILE_ATTRIBUTES) {
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
  events->ops->on_document_committed(events, 1, on_committed);
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
  // The bridge posts through the runtime's channel, from the main frame only.
  EXPECT_NE(fake.document_script.find(L"window.chrome.webview.postMessage.bind(window.chrome.webview)"),
            std::wstring::npos);
  EXPECT_NE(fake.document_script.find(L"window !== window.top"), std::wstring::npos);
  EXPECT_NE(fake.user_data.find(L"\\Quorvel\\WebView2"), std::wstring::npos);
  // The page's events come from the message loop.
  for (int i = 0; i < 100 && console.empty(); ++i) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    Sleep(10);
  }
  EXPECT_EQ(loaded, url);
  EXPECT_EQ(field(committed, "address"), url);
  EXPECT_EQ(field(committed, "own"), "0");
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
  loaded.clear();
  view->ops->reload(view);
  ASSERT_TRUE(pump_until([] { return !loaded.empty(); }));  // the page again
  view->ops->close_first(view);
  view->ops->close_second(view);
  EXPECT_EQ(fake.reloads, 1);
  EXPECT_EQ(fake.stops, 1);
  EXPECT_EQ(fake.closes, 1);

  DestroyWindow(host);
}

// The failures a console meets, each through the runtime's own event, as
// the records the host reads: a failed navigation, a server error, a
// renderer that crashed, ran out of memory or hangs, a browser process
// that exited (a new controller, the page again), a hung browser ended,
// and certificates: refused and reported, allowed once trusted, allowed
// when the extra authority issued them, and on a runtime without the
// certificate event reported as a failed navigation.
TEST(WebView2Engine, ReportsFailuresAndRecovers) {
  const HMODULE engine = LoadLibraryW(wide(ENGINE_LIBRARY).c_str());
  ASSERT_NE(engine, nullptr);
  ASSERT_FALSE(register_fake_runtime().empty());
  const auto init = quorvel::proc_address<qv_init_fn>(engine, "ormixwebview_init");
  const auto open = quorvel::proc_address<qv_open_fn>(engine, "ormixwebview_open");
  const auto set_option = quorvel::proc_address<qv_set_option_fn>(engine, "ormixwebview_set_option");
  const auto has_edge = quorvel::proc_address<qv_has_edge_fn>(engine, "ormixwebview_has_edge");
  ASSERT_TRUE(init && open && set_option && has_edge);
  ASSERT_EQ(has_edge(), 1);
  const HMODULE runtime = GetModuleHandleW(L"EmbeddedBrowserWebView.dll");
  FakeWebView2State& fake = *quorvel::proc_address<FakeStateFunction>(runtime, "fake_state")();
  const auto fail = quorvel::proc_address<FakeFailFunction>(runtime, "fake_fail_process");
  qv_converter* converter = nullptr;
  qv_events* events = nullptr;
  init(0, &converter, &events);
  events->ops->on_page_loaded(events, 1, on_loaded);
  events->ops->on_load_failed(events, 1, on_failed);
  events->ops->on_process_event(events, 1, on_process);
  events->ops->on_tls_error(events, 1, on_certificate);
  events->ops->on_document_committed(events, 1, on_committed);
  set_option("data_directory", "C:\\quorvel-data");
  HWND host = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                              nullptr, nullptr, nullptr);

  // The site refuses: a record, not the runtime's error page.
  fake.fail_navigations = 1;
  fake.fail_status = 12;
  failed.clear();
  committed.clear();
  qv_open_options options{};
  qv_view* view = open(reinterpret_cast<intptr_t>(host), "https://site.test/c", &options);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(fake.user_data, L"C:\\quorvel-data\\WebView2");
  ASSERT_TRUE(pump_until([] { return !failed.empty(); }));
  EXPECT_EQ(field(failed, "kind"), "refused");
  EXPECT_EQ(field(failed, "address"), "https://site.test/c");
  EXPECT_EQ(field(failed, "reason"), "cannot connect");
  // A failed navigation commits no document.
  EXPECT_TRUE(committed.empty());
  // The host's own page: its document is the host's, its address none.
  loaded = "-";
  view->ops->load_html(view, from_utf8("<title>页</title>").c_str());
  ASSERT_TRUE(pump_until([] { return loaded.empty(); }));
  EXPECT_EQ(field(committed, "own"), "1");
  EXPECT_EQ(fake.html, L"<title>\u9875</title>");
  // A page that goes to about:blank itself is no page of the host's.
  loaded.clear();
  view->ops->load_url(view, "about:blank");
  ASSERT_TRUE(pump_until([] { return !loaded.empty(); }));
  EXPECT_EQ(loaded, "about:blank");
  EXPECT_EQ(field(committed, "own"), "0");
  EXPECT_EQ(field(committed, "address"), "about:blank");
  // Then a server error.
  fake.http_status = 503;
  failed.clear();
  view->ops->load_url(view, "https://site.test/c");
  ASSERT_TRUE(pump_until([] { return !failed.empty(); }));
  EXPECT_EQ(field(failed, "kind"), "http");
  EXPECT_EQ(field(failed, "status"), "503");
  fake.http_status = 200;

  // The renderer's failures, by their reasons.
  const std::pair<int, const char*> renderer[] = {{3, "crashed"}, {5, "memory"}, {2, "killed"}};
  for (const auto& [reason, kind] : renderer) {
    fail(1, reason);
    EXPECT_EQ(field(process, "kind"), kind);
  }
  fail(2, 1);
  EXPECT_EQ(field(process, "kind"), "unresponsive");
  // The browser process exited: a new controller loads the page again.
  const int navigations = fake.navigations;
  loaded.clear();
  fail(0, 3);
  EXPECT_EQ(field(process, "kind"), "crashed");
  ASSERT_TRUE(pump_until([] { return !loaded.empty(); }));
  EXPECT_EQ(fake.navigations, navigations + 1);
  EXPECT_EQ(loaded, "https://site.test/c");

  // A hung page: its browser process is ended.
  wchar_t command[] = L"cmd.exe /c ping -n 30 127.0.0.1";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION browser{};
  ASSERT_TRUE(CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                             nullptr, &startup, &browser));
  fake.browser_pid = browser.dwProcessId;
  view->ops->terminate_process(view);
  EXPECT_EQ(WaitForSingleObject(browser.hProcess, 5000), WAIT_OBJECT_0);
  CloseHandle(browser.hProcess);
  CloseHandle(browser.hThread);
  fake.browser_pid = 0;

  // A certificate no authority issued: refused and reported once; allowed
  // once the host trusts its fingerprint.
  fake.certificate_errors = true;
  fake.certificate_pem = read_text(QUORVEL_TEST_CA_DIR "/untrusted.pem");
  ASSERT_FALSE(fake.certificate_pem.empty());
  certificate.clear();
  failed.clear();
  view->ops->load_url(view, "https://127.0.0.1:8443/c");
  ASSERT_TRUE(pump_until([] { return !certificate.empty(); }));
  EXPECT_EQ(fake.certificate_action, 1);
  EXPECT_EQ(field(certificate, "host"), "127.0.0.1:8443");
  EXPECT_EQ(field(certificate, "issuer"), "Quorvel Untrusted");
  EXPECT_EQ(field(certificate, "valid_from"), "2023-11-14T22:13:20Z");
  const std::string fingerprint = field(certificate, "fingerprint");
  EXPECT_EQ(fingerprint.size(), 64u);
  pump_until([] { return false; });
  EXPECT_TRUE(failed.empty()) << "the certificate was reported already: " << failed;
  view->ops->allow_certificate(view, "127.0.0.1:8443", fingerprint.c_str());
  loaded.clear();
  view->ops->load_url(view, "https://127.0.0.1:8443/c");
  ASSERT_TRUE(pump_until([] { return !loaded.empty(); }));
  EXPECT_EQ(fake.certificate_action, 0);
  // One the build's extra authority issued for the host: no question.
  set_option("extra_authority", read_text(QUORVEL_TEST_CA_DIR "/ca.pem").c_str());
  fake.certificate_pem = read_text(QUORVEL_TEST_CA_DIR "/server.pem");
  certificate.clear();
  loaded.clear();
  view->ops->load_url(view, "https://127.0.0.1:9443/c");
  ASSERT_TRUE(pump_until([] { return !loaded.empty(); }));
  EXPECT_EQ(fake.certificate_action, 0);
  EXPECT_TRUE(certificate.empty());
  // A runtime without the certificate event: the failed navigation says so.
  fake.old_runtime = true;
  fake.certificate_pem = read_text(QUORVEL_TEST_CA_DIR "/untrusted.pem");
  loaded.clear();
  fail(0, 3);  // a new controller, wired without the certificate event
  failed.clear();
  ASSERT_TRUE(pump_until([] { return !failed.empty(); }));
  EXPECT_EQ(field(failed, "kind"), "tls");
  fake.old_runtime = false;
  fake.certificate_errors = false;

  // The page's own navigations and new windows: the host decides each
  // before it leaves; how each came is told.
  events->ops->on_navigation(events, 1, on_navigation);
  const auto navigates = quorvel::proc_address<FakePageNavigatesFunction>(runtime, "fake_page_navigates");
  const auto new_window = quorvel::proc_address<FakeNewWindowFunction>(runtime, "fake_new_window");
  ASSERT_TRUE(navigates && new_window);
  loaded.clear();
  const int cancelled = fake.cancelled;
  navigates(L"https://other.test/visitor-link", 1, 0);
  ASSERT_TRUE(pump_until([&] { return fake.cancelled > cancelled; }));
  EXPECT_EQ(field(asked, "address"), "https://other.test/visitor-link");
  EXPECT_EQ(field(asked, "cause"), "link");
  EXPECT_EQ(field(asked, "gesture"), "1");
  EXPECT_TRUE(loaded.empty());
  navigates(L"https://idp.test/login", 1, 1);
  ASSERT_TRUE(pump_until([] { return !loaded.empty(); }));
  EXPECT_EQ(field(asked, "cause"), "form");
  EXPECT_EQ(field(committed, "cause"), "form");
  loaded.clear();
  navigates(L"https://site.test/next", 0, 0);
  ASSERT_TRUE(pump_until([] { return !loaded.empty(); }));
  EXPECT_EQ(field(asked, "cause"), "script");
  EXPECT_EQ(new_window(L"https://site.test/transcript", 1), 0);  // the runtime's own window
  EXPECT_EQ(field(asked, "new_window"), "1");
  EXPECT_EQ(new_window(L"https://other.test/", 1), 1);  // nothing opens
  // What the page asks to use, in the host's terms: the microphone allowed,
  // the camera not (no host answer yet), each with the frame's address.
  events->ops->on_permission(events, 1, on_permission);
  const auto permission = quorvel::proc_address<FakePermissionFunction>(runtime, "fake_permission");
  ASSERT_NE(permission, nullptr);
  EXPECT_EQ(permission(L"https://site.test/c", 1), 1);
  EXPECT_EQ(field(asked_permission, "kind"), "microphone");
  EXPECT_EQ(field(asked_permission, "address"), "https://site.test/c");
  EXPECT_EQ(permission(L"https://site.test/c", 2), 2);
  EXPECT_EQ(field(asked_permission, "kind"), "camera");
  EXPECT_EQ(permission(L"https://site.test/c", 6), 1);
  EXPECT_EQ(field(asked_permission, "kind"), "clipboard");

  view->ops->close_first(view);
  view->ops->close_second(view);
  RegDeleteKeyExW(HKEY_CURRENT_USER, kRuntimeKey, KEY_WOW64_32KEY, 0);
  DestroyWindow(host);
}

}  // namespace
}  // namespace quorvel
