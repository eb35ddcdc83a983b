// What the stand-in WebView2 runtime recorded, read by the engine's tests
// through its export fake_state().
#pragma once

#include <windows.h>

#include <string>

struct FakeWebView2State {
  std::wstring navigated, last_script, document_script, user_data;
  int reloads = 0, stops = 0, closes = 0, visible = 0;
  RECT bounds{};
  HWND parent = nullptr;
};

using FakeStateFunction = FakeWebView2State* (*)();
