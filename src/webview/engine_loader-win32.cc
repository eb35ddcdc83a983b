#include <windows.h>

#include "webview/engine_loader.h"

namespace quorvel::webview {

Text engine_file_name() {
  return "WebView2Plus.dll";
}

namespace {
std::wstring wide(const Text& text) {
  std::wstring out;
  for (const char16_t unit : to_utf16_units(text)) out += static_cast<wchar_t>(unit);
  return out;
}
}  // namespace

bool load_engine(const Text& path, EngineExports& e) {
  HMODULE library = LoadLibraryW(wide(path).c_str());
  if (library == nullptr) return false;
  e.dllwrite = reinterpret_cast<qv_dllwrite_fn>(GetProcAddress(library, "webview2_dllwrite"));
  e.has_edge = reinterpret_cast<qv_has_edge_fn>(GetProcAddress(library, "ormixwebview_has_edge"));
  e.init = reinterpret_cast<qv_init_fn>(GetProcAddress(library, "ormixwebview_init"));
  e.log = reinterpret_cast<qv_log_fn>(GetProcAddress(library, "ormixwebview_log"));
  e.open = reinterpret_cast<qv_open_fn>(GetProcAddress(library, "ormixwebview_open"));
  return e.dllwrite != nullptr && e.has_edge != nullptr && e.init != nullptr && e.log != nullptr &&
         e.open != nullptr;
}

Text documents_directory() {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableW(L"USERPROFILE", buffer, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  return from_utf16_units(std::u16string_view(reinterpret_cast<const char16_t*>(buffer), n)) +
         "\\Documents";
}

void make_writable(const Text& path) {
  SetFileAttributesW(wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace quorvel::webview
