#include <windows.h>

#include <iterator>
#include <map>
#include <string>

#include "app/process-win32.h"
#include "app/process.h"
#include "base/file.h"
#include "base/unique_handle-win32.h"
#include "base/wide-win32.h"

namespace quorvel::process {
namespace {

// Names the program for the restart script when its short path is not
// plain ASCII: cmd.exe reads a script in the console's code page, which
// may not be the one the script was written in, but expands a variable
// in UTF-16.
constexpr wchar_t kProgramVariable[] = L"QUORVEL_RESTART_PROGRAM";

bool plain_ascii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80 || c == '"' || c == '%') return false;
  }
  return true;
}

// The 8.3 form of a path, or empty text when the system has none.
Text short_path(const Text& path) {
  const std::wstring long_form = wide(path);
  const DWORD needed = GetShortPathNameW(long_form.c_str(), nullptr, 0);
  if (needed < 1) return {};
  std::wstring buffer(needed, L'\0');
  const DWORD written = GetShortPathNameW(long_form.c_str(), buffer.data(), needed);
  if (written < 1 || written >= needed) return {};
  buffer.resize(written);
  return narrow(buffer);
}

// Starts a process by the full path of its program, so that a path with
// spaces can never start another program. The thread handle is closed; the
// process handle too unless `keep` takes it. True once it runs.
bool start_process(const std::wstring& application, std::wstring command_line, WORD show,
                   DWORD wait_idle_ms, HANDLE* keep = nullptr) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = show;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(application.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &info)) {
    return false;
  }
  const UniqueKernelHandle thread(info.hThread);
  UniqueKernelHandle process(info.hProcess);
  if (wait_idle_ms > 0) WaitForInputIdle(process.get(), wait_idle_ms);
  if (keep != nullptr) *keep = process.release();
  return true;
}

// The programs started with an id, by their process handles.
std::map<std::int64_t, UniqueKernelHandle>& started_programs() {
  static std::map<std::int64_t, UniqueKernelHandle> started;
  return started;
}

std::wstring command_interpreter() {
  wchar_t system[MAX_PATH] = {};
  const UINT n = GetSystemDirectoryW(system, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  return std::wstring(system, n) + L"\\cmd.exe";
}

}  // namespace

Text restart_script(std::string_view program, int delay, bool) {
  return "@echo off \r\n@ping 127.0.0.1 -n " + std::to_string(delay > 0 ? delay : 2) +
         " >nul\r\nstart \"\" \"" + Text(program) + "\"\r\ndel \"%~f0\"";
}

Text restart_target(const Text& program) {
  const Text short_form = short_path(program);
  if (!short_form.empty() && plain_ascii(short_form)) return short_form;
  SetEnvironmentVariableW(kProgramVariable, wide(program).c_str());
  return "%" + narrow(kProgramVariable) + "%";
}

Text write_restart_script(const Text& program, int delay) {
  // Beside the program as the client always did; a program whose folder
  // cannot be written uses a new folder of the user's own temporary folder.
  Text folder = file::directory_of(program);
  if (!file::is_writable_directory(folder)) folder = file::make_private_directory("quorvel-");
  if (folder.empty()) return {};
  const Text script = folder + "\\Restart.bat";
  static_cast<void>(file::remove(script));
  if (!file::create_new(script, restart_script(restart_target(program), delay))) return {};
  return script;
}

bool restart_program(int delay) {
  const Text program = file::executable_path();
  if (program.empty() || GetFileAttributesW(wide(program).c_str()) == INVALID_FILE_ATTRIBUTES) {
    return false;
  }
  const Text script = write_restart_script(program, delay);
  if (script.empty()) return false;
  const std::wstring interpreter = command_interpreter();
  if (interpreter.empty()) return false;
  // The new process takes this one's place: it waits for this one to end
  // instead of handing over to it as a second start would.
  SetEnvironmentVariableW(L"QUORVEL_REPLACES", std::to_wstring(GetCurrentProcessId()).c_str());
  // cmd /c strips the outer quotes of ""script"" and runs the quoted path.
  if (!start_process(interpreter, L"cmd.exe /c \"\"" + wide(script) + L"\"\"", SW_HIDE, 1000)) {
    SetEnvironmentVariableW(L"QUORVEL_REPLACES", nullptr);
    return false;
  }
  TerminateProcess(GetCurrentProcess(), 0);
  return false;
}

void keep_new_files_private() {}

void with_started_permissions(const std::function<void()>& start) {
  start();
}

void force_exit() {
  TerminateProcess(GetCurrentProcess(), 0);
  ExitProcess(0);
}

std::int64_t launch_program(std::string_view path) {
  const std::wstring application = wide(path);
  HANDLE process = nullptr;
  if (!start_process(application, L"\"" + application + L"\"", SW_SHOWNORMAL, 1000, &process)) {
    return 0;
  }
  static std::int64_t next_id = 0;
  auto& started = started_programs();
  // Handles of programs that ended are not kept.
  for (auto it = started.begin(); it != started.end();) {
    it = WaitForSingleObject(it->second.get(), 0) == WAIT_TIMEOUT ? std::next(it)
                                                                  : started.erase(it);
  }
  started.emplace(++next_id, UniqueKernelHandle(process));
  return next_id;
}

bool is_running(std::int64_t id) {
  auto& started = started_programs();
  const auto found = started.find(id);
  if (found == started.end()) return false;
  if (WaitForSingleObject(found->second.get(), 0) == WAIT_TIMEOUT) return true;
  started.erase(found);
  return false;
}

Text runtime_installer() {
  return file::directory_of(file::executable_path()) + "\\config\\MicrosoftEdgeWebview2Setup.exe";
}

Text screenshot_tool() {
  return file::directory_of(file::executable_path()) + "\\config\\QQSnapShot.exe";
}

}  // namespace quorvel::process
