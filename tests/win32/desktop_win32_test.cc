// The Windows client's place on the desktop (under Wine on a virtual
// display): one instance per session and the hand-over to it, the restart
// that waits for the process it replaces, the taskbar's flash and the
// active window, and the Run value.
#include <gtest/gtest.h>

#include <string>

#include "app/fake_platform.h"
#include "app/forms.h"
#include "win32/desktop_services.h"
#include "win32/single_instance.h"
#include "win32/win32_ui.h"

namespace quorvel::win32 {
namespace {

using app::Form;

void pump_for(int ms) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
  while (GetTickCount() < end) {
    Win32Ui::run_pending_messages();
    Sleep(5);
  }
}

std::wstring test_mutex() {
  return L"Local\\quorvel-test-" + std::to_wstring(GetCurrentProcessId());
}

TEST(DesktopWin32, ASecondStartHandsOverToTheFirst) {
  SingleInstance first, second;
  EXPECT_EQ(first.claim(test_mutex().c_str()), SingleInstance::Claim::First);
  EXPECT_EQ(second.claim(test_mutex().c_str()), SingleInstance::Claim::Another);
  // The second start finds the first's tray window and asks it forward.
  Win32Ui ui(GetModuleHandleW(nullptr));
  int asked = 0;
  ui.on_bring_forward([&asked] { ++asked; });
  ASSERT_TRUE(call_first_forward());
  pump_for(300);
  EXPECT_EQ(asked, 1);
}

TEST(DesktopWin32, ARestartWaitsForTheProcessItReplaces) {
  // The old process: a command interpreter that ends in about a second.
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring cmd = std::wstring(system) + L"\\cmd.exe";
  std::wstring line = L"cmd.exe /c ping -n 2 127.0.0.1 >nul";
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(CreateProcessW(cmd.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                             nullptr, nullptr, &startup, &info));
  CloseHandle(info.hThread);
  SetEnvironmentVariableW(L"QUORVEL_REPLACES", std::to_wstring(info.dwProcessId).c_str());
  const std::wstring name = test_mutex() + L"-restart";
  SingleInstance restarted;
  EXPECT_EQ(restarted.claim(name.c_str()), SingleInstance::Claim::First);
  // It waited for the old one, and forgot whom it replaced.
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_OBJECT_0);
  EXPECT_EQ(GetEnvironmentVariableW(L"QUORVEL_REPLACES", nullptr, 0), 0u);
  CloseHandle(info.hProcess);
}

TEST(DesktopWin32, TheMainWindowFlashesAndKnowsWhenItIsActive) {
  Win32Ui ui(GetModuleHandleW(nullptr));
  ui.load(Form::Main, false);
  // The flash is the taskbar's; the window layer asks for it and stops it
  // without harm whether or not the window is in front.
  ui.set_urgent(Form::Main, true);
  pump_for(100);
  ui.set_urgent(Form::Main, false);
  ui.set_urgent(Form::Join, true);  // no such window: nothing happens
  ui.focus(Form::Main);
  pump_for(200);
  EXPECT_TRUE(ui.is_active(Form::Main));
  EXPECT_FALSE(ui.is_active(Form::Join));
  ui.quit();
}

TEST(DesktopWin32, TheRunValueIsWrittenAndRemoved) {
  DesktopServices desktop;
  static_cast<void>(desktop.set_starts_with_session(false));
  EXPECT_FALSE(desktop.starts_with_session());
  ASSERT_TRUE(desktop.set_starts_with_session(true));
  EXPECT_TRUE(desktop.starts_with_session());
  wchar_t value[4096];
  DWORD size = sizeof value;
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, kRunKey, kRunValue, RRF_RT_REG_SZ, nullptr, value,
                         &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(value), DesktopServices::run_command());
  EXPECT_NE(std::wstring(value).find(L"\" --autostart"), std::wstring::npos);
  ASSERT_TRUE(desktop.set_starts_with_session(false));
  EXPECT_FALSE(desktop.starts_with_session());
  // Removing what is not there is no failure.
  EXPECT_TRUE(desktop.set_starts_with_session(false));
  // Quiet is whatever the shell says; asking never fails.
  static_cast<void>(desktop.do_not_disturb());
  desktop.play_message_sound();
}

}  // namespace
}  // namespace quorvel::win32
