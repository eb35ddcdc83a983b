#include "base/file.h"

#include <windows.h>

#include <memory>

#include "base/wide-win32.h"

namespace quorvel::file {
namespace {

struct HandleCloser {
  void operator()(HANDLE h) const noexcept {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

UniqueHandle open_file(const std::wstring& path, DWORD access, DWORD disposition) {
  HANDLE h = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                         disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return UniqueHandle(h);
}

// The file a symbolic link finally names; the path itself when it is none.
std::wstring resolve_links(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return path;
  UniqueHandle owner(h);
  wchar_t buf[32768];
  const DWORD n = GetFinalPathNameByHandleW(h, buf, 32768, FILE_NAME_NORMALIZED);
  if (n == 0 || n >= 32768) return path;
  return std::wstring(buf, n);
}

}  // namespace

std::optional<std::string> read(const Text& path) {
  UniqueHandle f = open_file(wide(path), GENERIC_READ, OPEN_EXISTING);
  if (!f) return std::nullopt;
  std::string data;
  char buf[65536];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(f.get(), buf, sizeof buf, &n, nullptr)) return std::nullopt;
    if (n == 0) break;
    data.append(buf, n);
  }
  return data;
}

bool replace_contents(const Text& path, std::string_view data) {
  std::wstring target = wide(path);
  if (GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) {
    target = resolve_links(target);
  }
  const DWORD attributes = GetFileAttributesW(target.c_str());
  // A read-only file may not be written: it stays as it is.
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
    return false;
  }
  const std::wstring tmp = target + L".tmp";
  {
    UniqueHandle f = open_file(tmp, GENERIC_WRITE, CREATE_ALWAYS);
    if (!f) return false;
    while (!data.empty()) {
      DWORD n = 0;
      const DWORD chunk = data.size() > 0x10000000 ? 0x10000000 : static_cast<DWORD>(data.size());
      if (!WriteFile(f.get(), data.data(), chunk, &n, nullptr)) {
        f.reset();
        DeleteFileW(tmp.c_str());
        return false;
      }
      data.remove_prefix(n);
    }
  }
  if (!MoveFileExW(tmp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileW(tmp.c_str());
    return false;
  }
  // The file keeps its attributes (hidden, archive...), as the permission
  // bits are kept on Linux.
  if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(target.c_str(), attributes);
  return true;
}

Text executable_path() {
  wchar_t buf[32768];
  const DWORD n = GetModuleFileNameW(nullptr, buf, 32768);
  if (n == 0 || n >= 32768) return {};
  return from_utf16_units(std::u16string(buf, buf + n));
}

Text separator() {
  return "\\";
}

Text directory_of(const Text& path) {
  // Backslash is a trail byte of some double-byte characters, so the last
  // separator is found character by character.
  std::size_t last = Text::npos;
  for (std::size_t i = 0; i < path.size(); i += char_length_at(path, i)) {
    if (path[i] == '\\' || path[i] == '/') last = i;
  }
  return last == Text::npos ? Text() : path.substr(0, last);
}

bool is_directory(const Text& path) {
  const DWORD a = GetFileAttributesW(wide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool is_writable_directory(const Text& path) {
  return is_directory(path);
}

bool make_directories(const Text& path) {
  if (path.empty()) return false;
  if (is_directory(path)) return true;
  const Text parent = directory_of(path);
  if (!parent.empty() && parent != path && !is_directory(parent) && !make_directories(parent)) {
    return false;
  }
  return CreateDirectoryW(wide(path).c_str(), nullptr) || is_directory(path);
}

}  // namespace quorvel::file
