#include "base/file.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cwchar>
#include <chrono>
#include <thread>

#include "base/unique_handle-win32.h"
#include "base/wide-win32.h"

namespace quorvel::file {
namespace {

UniqueKernelHandle open_file(const std::wstring& path, DWORD access, DWORD disposition,
                             DWORD share = FILE_SHARE_READ | FILE_SHARE_DELETE) {
  return UniqueKernelHandle::adopt(CreateFileW(path.c_str(), access, share, nullptr, disposition,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
}

// The file a symbolic link finally names; the path itself when it is none.
std::wstring resolve_links(const std::wstring& path) {
  const UniqueKernelHandle h = UniqueKernelHandle::adopt(
      CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!h) return path;
  wchar_t buf[32768];
  const DWORD n = GetFinalPathNameByHandleW(h.get(), buf, 32768, FILE_NAME_NORMALIZED);
  if (n == 0 || n >= 32768) return path;
  return std::wstring(buf, n);
}

bool write_all(HANDLE f, std::string_view data) {
  while (!data.empty()) {
    DWORD n = 0;
    const DWORD chunk = data.size() > 0x10000000 ? 0x10000000 : static_cast<DWORD>(data.size());
    if (!WriteFile(f, data.data(), chunk, &n, nullptr)) return false;
    data.remove_prefix(n);
  }
  return true;
}

// A name no other writer of this process or another one uses.
std::wstring unique_suffix() {
  static std::atomic<unsigned> counter{0};
  return L"." + std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(++counter) + L"." +
         std::to_wstring(GetTickCount64()) + L".tmp";
}

}  // namespace

ReadResult read_file(const Text& path, std::size_t max_bytes) {
  ReadResult out;
  const std::wstring w = wide(path);
  const DWORD attributes = GetFileAttributesW(w.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    out.status = ReadStatus::NotRegular;
    return out;
  }
  const UniqueKernelHandle f = open_file(w, GENERIC_READ, OPEN_EXISTING,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  if (!f) {
    const DWORD error = GetLastError();
    out.status = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                     ? ReadStatus::Missing
                     : ReadStatus::Unreadable;
    return out;
  }
  // Named pipes, consoles and devices open too; only disk files are read.
  if (GetFileType(f.get()) != FILE_TYPE_DISK) {
    out.status = ReadStatus::NotRegular;
    return out;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(f.get(), &size)) {
    out.status = ReadStatus::Unreadable;
    return out;
  }
  if (static_cast<unsigned long long>(size.QuadPart) > max_bytes) {
    out.status = ReadStatus::TooLarge;
    return out;
  }
  out.data.reserve(static_cast<std::size_t>(size.QuadPart));
  char buf[65536];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(f.get(), buf, sizeof buf, &n, nullptr)) {
      out.data.clear();
      out.status = ReadStatus::Unreadable;
      return out;
    }
    if (n == 0) break;
    if (out.data.size() + n > max_bytes) {
      out.data.clear();
      out.status = ReadStatus::TooLarge;
      return out;
    }
    out.data.append(buf, n);
  }
  out.status = ReadStatus::Ok;
  return out;
}

std::optional<std::string> read(const Text& path) {
  ReadResult r = read_file(path);
  if (r.status != ReadStatus::Ok) return std::nullopt;
  return std::move(r.data);
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
  // CREATE_NEW: never an existing file or link, never another writer's.
  const std::wstring tmp = target + unique_suffix();
  {
    UniqueKernelHandle f = open_file(tmp, GENERIC_WRITE, CREATE_NEW, 0);
    if (!f) return false;
    if (!write_all(f.get(), data)) {
      f.reset();
      DeleteFileW(tmp.c_str());
      return false;
    }
  }
  // A reader that opened the file without sharing its deletion (an editor,
  // a virus scanner, a C runtime stream) holds the rename off for a moment:
  // it is tried again for up to a second.
  bool moved = false;
  for (int attempt = 0; attempt < 100 && !moved; ++attempt) {
    moved = MoveFileExW(tmp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
    if (moved) break;
    const DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED &&
        error != ERROR_LOCK_VIOLATION) {
      break;
    }
    Sleep(10);
  }
  if (!moved) {
    DeleteFileW(tmp.c_str());
    return false;
  }
  // The file keeps its attributes (hidden, archive...), as the permission
  // bits are kept on Linux.
  if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(target.c_str(), attributes);
  return true;
}

bool create_new(const Text& path, std::string_view data, bool) {
  const std::wstring w = wide(path);
  UniqueKernelHandle f = open_file(w, GENERIC_WRITE, CREATE_NEW, 0);
  if (!f) return false;
  if (!write_all(f.get(), data)) {
    f.reset();
    DeleteFileW(w.c_str());
    return false;
  }
  return true;
}

Text make_private_directory(std::string_view prefix) {
  // The temporary folder is in the user's own profile on Windows.
  wchar_t base[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, base);
  if (n == 0 || n > MAX_PATH) return {};
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::wstring name = std::wstring(base, n) + wide(prefix) + unique_suffix();
    name.resize(name.size() - 4);  // no ".tmp" on a folder
    if (CreateDirectoryW(name.c_str(), nullptr)) return narrow(name);
    if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

bool remove(const Text& path) {
  return DeleteFileW(wide(path).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool exists(const Text& path) {
  return GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool rename_new(const Text& from, const Text& to) {
  return MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_COPY_ALLOWED) != FALSE;
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
  if (!is_directory(path)) return false;
  // Access rights decide, not attributes: try a file of one's own there.
  const std::wstring probe = wide(path) + L"\\.quorvel-write-test" + unique_suffix();
  const HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
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

bool is_regular_or_missing(const Text& path) {
  const DWORD attributes = GetFileAttributesW(wide(path).c_str());
  return attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() == ERROR_FILE_NOT_FOUND ||
                                                     GetLastError() == ERROR_PATH_NOT_FOUND
                                               : (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// replace_contents names its temporary file "<name>.<pid>.<n>.<tick>.tmp".
void remove_stale_temporaries(const Text& path, int older_than_seconds) {
  const std::wstring target = wide(path);
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW((target + L".*.tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  const std::size_t slash = target.find_last_of(L"\\/");
  const std::wstring folder = slash == std::wstring::npos ? L"" : target.substr(0, slash + 1);
  FILETIME now_time{};
  GetSystemTimeAsFileTime(&now_time);
  const auto ticks = [](const FILETIME& t) {
    return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  const std::uint64_t limit = static_cast<std::uint64_t>(older_than_seconds) * 10'000'000u;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        ticks(now_time) - ticks(found.ftLastWriteTime) > limit) {
      DeleteFileW((folder + found.cFileName).c_str());
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

bool make_user_directory(const Text& path) {
  return make_directories(path);
}

namespace {

// One name per lock file, whatever the spelling of its path: the full path,
// upper-cased as the file system compares names, hashed.
std::wstring queue_name(const std::wstring& lock_path) {
  wchar_t full[32768];
  const DWORD n = GetFullPathNameW(lock_path.c_str(), 32768, full, nullptr);
  std::wstring name = (n > 0 && n < 32768) ? std::wstring(full, n) : lock_path;
  CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
  std::uint64_t hash = 14695981039346656037ull;
  for (wchar_t c : name) {
    hash = (hash ^ static_cast<std::uint16_t>(c)) * 1099511628211ull;
  }
  wchar_t out[64];
  swprintf(out, 64, L"Local\\quorvel-lock-%016llx", static_cast<unsigned long long>(hash));
  return out;
}

}  // namespace

ExclusiveLock::ExclusiveLock(const Text& lock_path, int wait_ms) {
  const std::wstring path = wide(lock_path);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  // LockFileEx cannot be waited for with a time limit, and polling it lets
  // a busy writer take it again and again while another starves. Waiters
  // on a mutex are served in turn, so this machine's writers queue there;
  // the file lock below still keeps out writers from elsewhere.
  UniqueKernelHandle queue(CreateMutexW(nullptr, FALSE, queue_name(path).c_str()));
  if (!queue) return;
  const DWORD waited = WaitForSingleObject(queue.get(), static_cast<DWORD>(wait_ms));
  // An abandoned mutex is ours: its holder died, and its file lock with it.
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return;
  UniqueKernelHandle f = open_file(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  bool locked = false;
  while (f) {
    OVERLAPPED at{};
    locked = LockFileEx(f.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                        &at) != FALSE;
    if (locked || std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (!locked) {
    ReleaseMutex(queue.get());
    return;
  }
  held_ = true;
  handle_ = reinterpret_cast<std::intptr_t>(f.release());
  queue_ = reinterpret_cast<std::intptr_t>(queue.release());
}

// Closing the handle releases the file lock; the queue is left to the next
// writer of this machine.
ExclusiveLock::~ExclusiveLock() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  if (queue_ != -1) {
    const HANDLE queue = reinterpret_cast<HANDLE>(queue_);
    ReleaseMutex(queue);
    CloseHandle(queue);
  }
}

}  // namespace quorvel::file
