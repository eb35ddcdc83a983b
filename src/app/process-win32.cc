#include <windows.h>

#include <string>

#include "app/process.h"
#include "base/file.h"

namespace quorvel::process {

Text restart_script(std::string_view program, int delay) {
  return "@echo off \r\n@ping 127.0.0.1 -n " + std::to_string(delay > 0 ? delay : 2) +
         " >nul\r\nstart \"\" \"" + Text(program) + "\"\r\ndel \"%~f0\"";
}

// The restart through a batch script comes with the Windows front-end.
bool restart_program(int) {
  return false;
}

void force_exit() {
  TerminateProcess(GetCurrentProcess(), 0);
  ExitProcess(0);
}

bool launch_program(std::string_view path) {
  std::wstring application;
  for (const char16_t unit : to_utf16_units(path)) application += static_cast<wchar_t>(unit);
  std::wstring command_line = application;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  // The full path as the application name: a path with spaces can never
  // start another program.
  if (!CreateProcessW(application.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &info)) {
    return false;
  }
  WaitForInputIdle(info.hProcess, 1000);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return true;
}

Text runtime_installer() {
  return file::directory_of(file::executable_path()) + "/config/MicrosoftEdgeWebview2Setup.exe";
}

Text screenshot_tool() {
  return file::directory_of(file::executable_path()) + "/config/QQSnapShot.exe";
}

}  // namespace quorvel::process
