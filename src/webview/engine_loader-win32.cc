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
// An export as its own function type; the generic function type in between
// says the cast is meant.
template <typename Function>
void bind(HMODULE library, const char* name, Function& out) {
  using Generic = void (*)();
  out = reinterpret_cast<Function>(reinterpret_cast<Generic>(GetProcAddress(library, name)));
}

}  // namespace

bool load_engine(const Text& path, EngineExports& e) {
  HMODULE library = LoadLibraryW(wide(path).c_str());
  if (library == nullptr) return false;
  bind(library, "webview2_dllwrite", e.dllwrite);
  bind(library, "ormixwebview_has_edge", e.has_edge);
  bind(library, "ormixwebview_init", e.init);
  bind(library, "ormixwebview_log", e.log);
  bind(library, "ormixwebview_open", e.open);
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
