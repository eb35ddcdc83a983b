// The Win32 window layer itself (under Wine on a virtual display): forms
// built from their designs, properties in logical pixels, Chinese texts,
// timers reaching the client, and the message box that closes itself.
#include "win32/win32_ui.h"

#include <gtest/gtest.h>

#include <chrono>

#include "app/fake_platform.h"
#include "app/forms.h"

namespace quorvel::win32 {
namespace {

using app::Form;
using app::Property;
using app::TextProperty;

Text gb(const char* utf8) {
  return from_utf8(utf8);
}

void pump_for(int ms) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
  while (GetTickCount() < end) {
    Win32Ui::run_pending_messages();
    Sleep(5);
  }
}

TEST(Win32Ui, FormsFollowTheirDesigns) {
  Win32Ui ui(GetModuleHandleW(nullptr));
  ui.load(Form::Join, false);
  ASSERT_TRUE(ui.exists(Form::Join));
  EXPECT_EQ(ui.get_text(Form::Join, {}, TextProperty::Caption), gb("加入Quorvel服务器"));
  EXPECT_EQ(ui.get(Form::Join, {}, Property::Width), 468);
  EXPECT_EQ(ui.get(Form::Join, {}, Property::Height), 250);
  EXPECT_EQ(ui.get(Form::Join, gb("按钮1"), Property::Top), 104);
  EXPECT_EQ(ui.get_text(Form::Join, gb("按钮1"), TextProperty::Text), gb("连接加入"));
  EXPECT_NE(ui.native_handle(Form::Join, gb("编辑框1")), 0);
  EXPECT_EQ(ui.native_handle(Form::Join, gb("没有这个")), 0);

  ui.set_text(Form::Join, gb("编辑框1"), TextProperty::Text, gb("服务器 8866"));
  EXPECT_EQ(ui.get_text(Form::Join, gb("编辑框1"), TextProperty::Text), gb("服务器 8866"));
  ui.set_text(Form::Join, gb("编辑框1"), TextProperty::Tag, "t");
  EXPECT_EQ(ui.get_text(Form::Join, gb("编辑框1"), TextProperty::Tag), "t");

  ui.set(Form::Join, {}, Property::Left, 100);
  ui.set(Form::Join, {}, Property::Top, 120);
  EXPECT_EQ(ui.get(Form::Join, {}, Property::Left), 100);
  EXPECT_EQ(ui.get(Form::Join, {}, Property::Top), 120);
  ui.set(Form::Join, {}, Property::Width, 500);
  EXPECT_EQ(ui.get(Form::Join, {}, Property::Width), 500);
  EXPECT_EQ(ui.get(Form::Join, {}, Property::Height), 250);
  ui.set(Form::Join, {}, Property::Visible, 0);
  EXPECT_EQ(ui.get(Form::Join, {}, Property::Visible), 0);
  ui.destroy(Form::Join);
  EXPECT_FALSE(ui.exists(Form::Join));
  EXPECT_EQ(ui.get(Form::Join, {}, Property::Width), 0);
}

TEST(Win32Ui, ControlsMoveAndTheScreenIsKnown) {
  Win32Ui ui(GetModuleHandleW(nullptr));
  ui.load(Form::Notice, false);
  const Text content = gb("标签content");
  ui.set(Form::Notice, content, Property::Height, 42);
  EXPECT_EQ(ui.get(Form::Notice, content, Property::Height), 42);
  ui.set(Form::Notice, {}, Property::TopMost, 1);
  EXPECT_EQ(ui.get(Form::Notice, {}, Property::TopMost), 1);
  const std::vector<app::Monitor> screens = ui.monitors();
  ASSERT_FALSE(screens.empty());
  EXPECT_GT(screens.front().area.width, 0);
  EXPECT_GT(screens.front().area.height, 0);
  EXPECT_GT(screens.front().work.height, 0);
  EXPECT_LE(screens.front().work.height, screens.front().area.height);
}

TEST(Win32Ui, TheSelfClosingBoxClosesItselfAfterFiveSeconds) {
  Win32Ui ui(GetModuleHandleW(nullptr));
  app::TimedMessage message;  // the defaults: OK only, "友情提醒", 5000 ms
  message.text = gb("服务器编号不存在");
  const auto start = std::chrono::steady_clock::now();
  // Closed by the call's own timeout or, where that is ignored, by ours:
  // either way the answer is the timeout's code minus 1.
  EXPECT_EQ(ui.show_timed_message(message), 31999);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(4900));
  EXPECT_LT(took, std::chrono::seconds(8));
}

// A confirmation opened while a self-closing box waits (the tray's 退出,
// say) is not ended by that box's timer; the box ends once it is answered.
namespace confirmation {
bool stayed_open = false;
int answer = 0;
const wchar_t kCaption[] = L"\x9000\x51fa";  // 退出
}  // namespace confirmation

TEST(Win32Ui, TheSelfClosingBoxEndsOnlyItself) {
  Win32Ui ui(GetModuleHandleW(nullptr));
  app::TimedMessage message;
  message.text = gb("服务器编号不存在");
  message.timeout_ms = 500;
  SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    SetTimer(nullptr, 0, 1500, [](HWND, UINT, UINT_PTR checker, DWORD) {
      KillTimer(nullptr, checker);
      const HWND box = FindWindowW(L"#32770", confirmation::kCaption);
      confirmation::stayed_open = box != nullptr;
      if (box != nullptr) EndDialog(box, IDOK);
    });
    confirmation::answer = MessageBoxW(nullptr, L"?", confirmation::kCaption, MB_OKCANCEL);
  });
  EXPECT_EQ(ui.show_timed_message(message), 31999);
  EXPECT_TRUE(confirmation::stayed_open);
  EXPECT_EQ(confirmation::answer, IDOK);
}

// A client over the real window layer, its other services fakes.
struct ClientOver {
  explicit ClientOver(Win32Ui& ui)
      : client({ui, settings, view, process, timed, clock, log,
                [](std::string_view, Text&) { return Text(); }, "https://dir.test", {}}) {}
  app::fake::FakeSettings settings;
  app::fake::FakeView view;
  app::fake::FakeProcess process;
  app::fake::FakeTimedBox timed;
  app::fake::FakeClock clock;
  app::fake::FakeLog log;
  app::Client client;
};

TEST(Win32Ui, TheDesignedTimerTicksIntoTheClient) {
  // The notice's timer ticks every second; the window procedure turns each
  // tick into the client's timer event, which counts the notice down.
  Win32Ui ui(GetModuleHandleW(nullptr));
  ClientOver w(ui);
  ui.set_events(&w.client);
  ui.load(Form::Notice, false);
  pump_for(2300);
  EXPECT_LE(w.client.notice_countdown(), -2);
  // Without a client the ticks must not fail.
  ui.set_events(nullptr);
  pump_for(1200);
  EXPECT_TRUE(ui.exists(Form::Notice));
  ui.quit();
  ui.run();  // returns at once after quit
}

TEST(Win32Ui, TheMachineWakingAndTheNetworkReachTheConsole) {
  // The hidden tray window hears the resume broadcast and the network's
  // change (posted by the watcher's thread); the client's guard reloads
  // the console on waking, and retries an unreachable site at once.
  Win32Ui ui(GetModuleHandleW(nullptr));
  ClientOver w(ui);
  w.settings.values["hostdata"] = "{\"code\":\"200\",\"data\":\"https://chat.test:8443\"}";
  app::fake::FakeView& view = w.view;
  ui.set_events(&w.client);
  ui.watch_system_news();
  w.client.start();
  HWND tray = nullptr;
  while ((tray = FindWindowExW(nullptr, tray, L"QuorvelTray", nullptr)) != nullptr) {
    DWORD pid = 0;
    GetWindowThreadProcessId(tray, &pid);
    if (pid == GetCurrentProcessId()) break;
  }
  ASSERT_NE(tray, nullptr);
  SendMessageW(tray, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
  EXPECT_EQ(view.reloads, 1);
  SendMessageW(tray, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);  // the same resume
  EXPECT_EQ(view.reloads, 1);
  view.events->load_failed({app::LoadFailure::Kind::Refused, "https://chat.test:8443/", "", 0});
  const std::size_t retries = view.loaded_urls.size();
  PostMessageW(tray, WM_APP + 2, 0, 0);
  pump_for(100);
  EXPECT_EQ(view.loaded_urls.size(), retries + 1);
  ui.set_events(nullptr);
}

// 服务器配置 opens the join window modally over the main window; Escape
// typed into it closes it, as in the main loop.
TEST(Win32Ui, EscapeClosesTheModalJoinWindow) {
  // An earlier test's quit is still queued for this thread; a modal loop
  // rightly ends on it.
  MSG stale;
  while (PeekMessageW(&stale, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  Win32Ui ui(GetModuleHandleW(nullptr));
  ClientOver w(ui);
  w.settings.values["hostdata"] = "{\"code\":\"200\",\"data\":\"https://chat.test:8443\"}";
  ui.set_events(&w.client);
  w.client.start();
  ASSERT_TRUE(ui.exists(Form::Main));
  static Win32Ui* shown;
  shown = &ui;
  // Once the modal loop runs: Escape into the join window's edit box; a
  // later timer ends a loop that did not take it, so that the test fails
  // instead of hanging.
  const UINT_PTR press = SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    const HWND join = FindWindowW(nullptr, L"加入Quorvel服务器");
    const HWND edit = join != nullptr ? FindWindowExW(join, nullptr, L"Edit", nullptr) : nullptr;
    PostMessageW(edit != nullptr ? edit : join, WM_KEYDOWN, VK_ESCAPE, 0);
  });
  const UINT_PTR rescue = SetTimer(nullptr, 0, 4000, [](HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    shown->destroy(Form::Join);
  });
  const DWORD started = GetTickCount();
  w.client.on_menu(0);  // 服务器配置: returns when the join window is gone
  EXPECT_LT(GetTickCount() - started, 3000u);
  EXPECT_FALSE(ui.exists(Form::Join));
  EXPECT_TRUE(ui.exists(Form::Main));
  KillTimer(nullptr, press);
  KillTimer(nullptr, rescue);
  ui.set_events(nullptr);
}

}  // namespace
}  // namespace quorvel::win32
