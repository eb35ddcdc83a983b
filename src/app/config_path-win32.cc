#include <windows.h>

#include "app/config_file.h"
#include "base/file.h"
#include "base/wide-win32.h"

namespace quorvel::config {
namespace {

Text environment(const wchar_t* name) {
  const DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
  if (n == 0) return {};
  std::wstring value(n, L'\0');
  value.resize(GetEnvironmentVariableW(name, value.data(), n));
  return narrow(value);
}

// %APPDATA%\Quorvel, created when missing.
Text user_config_path() {
  const Text base = environment(L"APPDATA");
  if (base.empty()) return {};
  const Text dir = base + "\\Quorvel";
  (void)file::make_directories(dir);
  return dir + "\\config.ini";
}

}  // namespace

Text data_directory() {
  const Text base = environment(L"LOCALAPPDATA");
  if (base.empty()) return {};
  const Text dir = base + "\\Quorvel";
  (void)file::make_directories(dir);
  return dir;
}

// Beside the program when its config folder can be written; the mixed
// separators ("C:\dir" + "/config/config.ini") are what Windows accepts and
// what the client has always used. A program installed where its folder
// cannot be written keeps its settings in the user's application data.
Text file_path() {
  return file_path_for(file::directory_of(file::executable_path()));
}

Text file_path_for(const Text& program_directory) {
  const Text beside = program_directory + "/config";
  if (file::is_writable_directory(beside)) return beside + "/config.ini";
  const Text user = user_config_path();
  return user.empty() ? beside + "/config.ini" : user;
}

}  // namespace quorvel::config
