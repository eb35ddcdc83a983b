#include "win32/desktop_services.h"

#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <shlobj.h>
#include <knownfolders.h>

#include "base/file.h"
#include "base/wide-win32.h"

namespace quorvel::win32 {

void DesktopServices::play_message_sound() {
  // Asynchronous: the window never waits for the sound. No default beep
  // when the sound scheme has none.
  PlaySoundW(L"Notification.IM", nullptr, SND_ALIAS | SND_ASYNC | SND_NODEFAULT);
}

bool DesktopServices::do_not_disturb() {
  QUERY_USER_NOTIFICATION_STATE state{};
  if (FAILED(SHQueryUserNotificationState(&state))) return false;
  return state == QUNS_BUSY || state == QUNS_RUNNING_D3D_FULL_SCREEN ||
         state == QUNS_PRESENTATION_MODE;
}

std::wstring DesktopServices::run_command() {
  return L"\"" + wide(file::executable_path()) + L"\" " + kAutostartArgument;
}

bool DesktopServices::starts_with_session() {
  DWORD size = 0;
  return RegGetValueW(HKEY_CURRENT_USER, kRunKey, kRunValue, RRF_RT_REG_SZ, nullptr, nullptr,
                      &size) == ERROR_SUCCESS;
}

// The shell's handler for the address's scheme: the default browser, the
// mail program.
bool DesktopServices::open_on_desktop(std::string_view address) {
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", wide(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

Text DesktopServices::download_folder() {
  PWSTR folder = nullptr;
  if (FAILED(SHGetKnownFolderPath(FOLDERID_Downloads, 0, nullptr, &folder)) || folder == nullptr) {
    CoTaskMemFree(folder);
    return {};
  }
  const Text out = narrow(folder);
  CoTaskMemFree(folder);
  return out;
}

bool DesktopServices::open_file(std::string_view path) {
  return open_on_desktop(path);
}

bool DesktopServices::show_in_folder(std::string_view path) {
  const std::wstring select = L"/select,\"" + wide(path) + L"\"";
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", L"explorer.exe", select.c_str(), nullptr, SW_SHOWNORMAL));
  return result > 32;
}

Text DesktopServices::session_entry() const {
  return narrow(std::wstring(L"HKEY_CURRENT_USER\\") + kRunKey + L"\\" + kRunValue);
}

bool DesktopServices::set_starts_with_session(bool enabled) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  LONG result = ERROR_SUCCESS;
  if (enabled) {
    const std::wstring command = run_command();
    result = RegSetValueExW(key, kRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                            static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
  } else {
    result = RegDeleteValueW(key, kRunValue);
    if (result == ERROR_FILE_NOT_FOUND) result = ERROR_SUCCESS;
  }
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

}  // namespace quorvel::win32
