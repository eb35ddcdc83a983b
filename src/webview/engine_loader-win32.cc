#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

#include <cstdio>

#include "base/proc_address-win32.h"
#include "base/wide-win32.h"
#include "webview/engine_loader.h"

namespace quorvel::webview {

Text engine_file_name() {
  return "WebView2Plus.dll";
}

namespace {

template <typename Function>
void bind(HMODULE library, const char* name, Function& out) {
  out = proc_address<Function>(library, name);
}

}  // namespace

bool load_engine(const Text& path, EngineExports& e) {
  HMODULE library = LoadLibraryW(wide(path).c_str());
  if (library == nullptr) {
    std::fprintf(stderr, "quorvel: the web engine library cannot be loaded: error %lu\n",
                 GetLastError());
    return false;
  }
  bind(library, "webview2_dllwrite", e.dllwrite);
  bind(library, "ormixwebview_has_edge", e.has_edge);
  bind(library, "ormixwebview_init", e.init);
  bind(library, "ormixwebview_log", e.log);
  bind(library, "ormixwebview_open", e.open);
  bind(library, "ormixwebview_set_option", e.set_option);
  return e.dllwrite != nullptr && e.has_edge != nullptr && e.init != nullptr && e.log != nullptr &&
         e.open != nullptr;
}

Text runtime_missing_message() {
  return from_utf8("缺少WebView2支持库，请点击安装");
}

// Special folder 5, the user's documents.
Text documents_directory() {
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, buffer))) {
    return {};
  }
  return narrow(buffer);
}

void make_writable(const Text& path) {
  SetFileAttributesW(wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace quorvel::webview
