// What the stand-in WebView2 runtime recorded, and what the engine's tests
// ask it to do, through its export fake_state().
#pragma once

#include <windows.h>

#include <string>

struct FakeWebView2State {
  // Recorded.
  std::wstring navigated, last_script, document_script, user_data, html;
  int reloads = 0, stops = 0, closes = 0, visible = 0, navigations = 0, html_loads = 0;
  int cancelled = 0;  // navigations the engine cancelled
  int certificate_action = -1;  // the engine's answer to the last certificate error
  RECT bounds{};
  HWND parent = nullptr;
  // Asked for.
  int fail_navigations = 0;        // the next ones fail ...
  int fail_status = 12;            // ... with this error status (cannot connect)
  int http_status = 200;           // a load that succeeds answers this status
  bool certificate_errors = false;  // navigations meet a certificate not accepted
  bool old_runtime = false;         // no certificate event (ICoreWebView2_14)
  std::string certificate_pem;      // the certificate they meet
  std::wstring click;               // the host's own page "clicks" this action
  DWORD browser_pid = 0;
};

using FakeStateFunction = FakeWebView2State* (*)();
// A failed process: its kind and reason, as the runtime reports them.
using FakeFailFunction = void (*)(int kind, int reason);
// The page navigates by itself (user's click, form with a body, script).
using FakePageNavigatesFunction = void (*)(const wchar_t* uri, int by_user, int with_body);
// The page asks to use something (COREWEBVIEW2_PERMISSION_KIND); the state
// the engine answered.
using FakePermissionFunction = int (*)(const wchar_t* uri, int kind);
// The page asks for a new window; 1 when the host handled it.
using FakeNewWindowFunction = int (*)(const wchar_t* uri, int by_user);
