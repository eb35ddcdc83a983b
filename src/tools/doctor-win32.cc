#include <windows.h>
#include <shlobj.h>

#include <string>

#include "base/file.h"
#include "base/wide-win32.h"
#include "tools/doctor.h"

namespace quorvel::tool {
namespace {

// The WebView2 runtime's registration, per machine and per user.
constexpr wchar_t kRuntimeKey[] =
    L"Software\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";

std::wstring runtime_version() {
  wchar_t value[64] = {};
  for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    for (const DWORD view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
      DWORD size = sizeof value;
      if (RegGetValueW(root, kRuntimeKey, L"pv", RRF_RT_REG_SZ | view, nullptr, value, &size) ==
              ERROR_SUCCESS &&
          value[0] != L'\0' && std::wstring(value) != L"0.0.0.0") {
        return value;
      }
    }
  }
  return {};
}

bool exists(const Text& path) {
  return GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

void platform_checks(const Report& report) {
  const std::wstring version = runtime_version();
  report({!version.empty(), "web engine",
                    version.empty() ? "the WebView2 runtime is not installed"
                                    : "WebView2 runtime " + to_utf8(narrow(version))});
  report({true, "display", "Windows"});
  report({FindWindowW(L"Shell_TrayWnd", nullptr) != nullptr, "tray",
                    "the taskbar's notification area"});
  const Text beside = file::directory_of(file::executable_path()) + "\\WebView2Plus.dll";
  wchar_t documents[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, documents);
  const Text fallback = narrow(documents) + "\\ee\\Plugins\\WebView2Plus.dll";
  const Text found = exists(beside) ? beside : fallback;
  report({true, "engine library",
                    to_utf8(found) + (exists(found) ? "" : " (not written yet)")});
}

}  // namespace quorvel::tool
