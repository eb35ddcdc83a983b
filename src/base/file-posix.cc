#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "base/file.h"
#include "base/unique_fd-posix.h"

namespace quorvel::file {
namespace {

std::string native(const Text& path) {
  return to_utf8(path);
}

// The file the path finally names, so that a link is replaced at its target.
std::string resolve_links(const std::string& path) {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(current.c_str(), buf, sizeof buf - 1);
    if (n < 0) return current;
    std::string target(buf, static_cast<std::size_t>(n));
    if (target.empty() || target[0] != '/') {
      const auto slash = current.rfind('/');
      target = (slash == std::string::npos ? std::string() : current.substr(0, slash + 1)) + target;
    }
    current = target;
  }
  return current;
}

bool write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

ReadStatus status_of_open_error(int error) {
  return error == ENOENT || error == ENOTDIR ? ReadStatus::Missing : ReadStatus::Unreadable;
}

}  // namespace

ReadResult read_file(const Text& path, std::size_t max_bytes) {
  ReadResult out;
  // Non-blocking, so that opening a FIFO does not wait for a writer; the
  // type is checked before anything is read.
  UniqueFd f(::open(native(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!f) {
    out.status = status_of_open_error(errno);
    return out;
  }
  struct stat st {};
  if (::fstat(f.get(), &st) != 0) {
    out.status = ReadStatus::Unreadable;
    return out;
  }
  if (!S_ISREG(st.st_mode)) {
    out.status = ReadStatus::NotRegular;
    return out;
  }
  if (static_cast<std::uintmax_t>(st.st_size) > max_bytes) {
    out.status = ReadStatus::TooLarge;
    return out;
  }
  out.data.reserve(static_cast<std::size_t>(st.st_size));
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(f.get(), buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      out.data.clear();
      out.status = ReadStatus::Unreadable;
      return out;
    }
    if (n == 0) break;
    // A file that grows while it is read still stops at the limit.
    if (out.data.size() + static_cast<std::size_t>(n) > max_bytes) {
      out.data.clear();
      out.status = ReadStatus::TooLarge;
      return out;
    }
    out.data.append(buf, static_cast<std::size_t>(n));
  }
  out.status = ReadStatus::Ok;
  return out;
}

std::optional<std::string> read(const Text& path) {
  ReadResult r = read_file(path);
  if (r.status != ReadStatus::Ok) return std::nullopt;
  return std::move(r.data);
}

// replace_contents's temporary files: the file's name, this, and mkstemp's
// six characters; a name no one gives a file of their own.
constexpr std::string_view kTemporaryInfix = ".tmp-";

bool replace_contents(const Text& path, std::string_view data) {
  const std::string target = resolve_links(native(path));
  mode_t mode = 0644;
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    // A file that may not be written stays as it is, as the platform's own
    // profile service would leave it, though a rename could replace it.
    if (!S_ISREG(st.st_mode) || ::access(target.c_str(), W_OK) != 0) return false;
    mode = st.st_mode & 07777;
  }
  // A unique name per writer: two writers never share a temporary file,
  // and mkstemp's exclusive creation never follows a link planted there.
  std::string tmp = target + std::string(kTemporaryInfix) + "XXXXXX";
  UniqueFd f(::mkostemp(tmp.data(), O_CLOEXEC));
  if (!f) return false;
  if (!write_all(f.get(), data) || ::fchmod(f.get(), mode) != 0) {
    f.reset();
    ::unlink(tmp.c_str());
    return false;
  }
  f.reset();
  if (::rename(tmp.c_str(), target.c_str()) != 0) {
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

bool create_new(const Text& path, std::string_view data, bool executable) {
  const std::string p = native(path);
  UniqueFd f(::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    executable ? 0700 : 0600));
  if (!f) return false;
  if (!write_all(f.get(), data)) {
    f.reset();
    ::unlink(p.c_str());
    return false;
  }
  return true;
}

Text make_private_directory(std::string_view prefix) {
  const char* tmpdir = std::getenv("TMPDIR");
  std::string base = tmpdir != nullptr && tmpdir[0] == '/' ? tmpdir : "/tmp";
  std::string name = base + "/" + std::string(prefix) + "XXXXXX";
  if (::mkdtemp(name.data()) == nullptr) return {};
  return from_utf8(name);
}

bool remove(const Text& path) {
  return ::unlink(native(path).c_str()) == 0 || errno == ENOENT;
}

bool exists(const Text& path) {
  struct stat st {};
  return ::lstat(native(path).c_str(), &st) == 0;
}

bool rename_new(const Text& from, const Text& to) {
  const std::string source = native(from), target = native(to);
  if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) return false;
  // File systems without the flag: a second name, then the first one gone.
  if (::link(source.c_str(), target.c_str()) != 0) return false;
  ::unlink(source.c_str());
  return true;
}

Text executable_path() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  return from_utf8(std::string_view(buf, static_cast<std::size_t>(n)));
}

Text separator() {
  return "/";
}

Text directory_of(const Text& path) {
  const auto slash = path.find_last_of('/');
  return slash == Text::npos ? Text() : path.substr(0, slash);
}

bool is_directory(const Text& path) {
  struct stat st {};
  return ::stat(native(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool is_writable_directory(const Text& path) {
  return is_directory(path) && ::access(native(path).c_str(), W_OK) == 0;
}

bool make_directories(const Text& path) {
  if (path.empty() || is_directory(path)) return !path.empty();
  const Text parent = directory_of(path);
  if (!parent.empty() && parent != path && !is_directory(parent) && !make_directories(parent)) {
    return false;
  }
  return ::mkdir(native(path).c_str(), 0755) == 0 || is_directory(path);
}

namespace {

// Takes the permissions of others off a tree the user owns; links are not
// followed, and what another user owns is left alone.
void tighten(const std::string& path, int depth) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || st.st_uid != ::geteuid() || S_ISLNK(st.st_mode)) return;
  if ((st.st_mode & 077) != 0) ::chmod(path.c_str(), st.st_mode & 07700);
  if (!S_ISDIR(st.st_mode) || depth > 32) return;
  DIR* dir = ::opendir(path.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") tighten(path + "/" + std::string(name), depth + 1);
  }
  ::closedir(dir);
}

}  // namespace

bool is_regular_or_missing(const Text& path) {
  struct stat st {};
  if (::stat(native(path).c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR;
  return S_ISREG(st.st_mode);
}

void remove_stale_temporaries(const Text& path, int older_than_seconds) {
  const std::string target = resolve_links(native(path));
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash);
  const std::string prefix =
      target.substr(slash == std::string::npos ? 0 : slash + 1) + std::string(kTemporaryInfix);
  DIR* dir = ::opendir(folder.empty() ? "/" : folder.c_str());
  if (dir == nullptr) return;
  const std::time_t now = std::time(nullptr);
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name.size() != prefix.size() + 6 || name.substr(0, prefix.size()) != prefix) continue;
    const std::string_view tail = name.substr(prefix.size());
    if (!std::all_of(tail.begin(), tail.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; })) continue;
    const std::string full = folder + "/" + std::string(name);
    struct stat st {};
    if (::lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
        now - st.st_mtime > older_than_seconds) {
      ::unlink(full.c_str());
    }
  }
  ::closedir(dir);
}

bool make_user_directory(const Text& path) {
  if (path.empty()) return false;
  const std::string folder = native(path);
  if (!is_directory(path)) {
    const Text parent = directory_of(path);
    if (!parent.empty() && parent != path && !make_directories(parent)) return false;
    if (::mkdir(folder.c_str(), 0700) != 0 && !is_directory(path)) return false;
  }
  tighten(folder, 0);
  return true;
}

ExclusiveLock::ExclusiveLock(const Text& lock_path, int wait_ms) {
  UniqueFd f(::open(native(lock_path).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!f) return;
  // A holder that died released its lock with its descriptors; only a
  // stopped one can hold it long, and then this writer gives up.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  while (::flock(f.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) return;
    if (std::chrono::steady_clock::now() >= deadline) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  held_ = true;
  handle_ = f.release();
}

ExclusiveLock::~ExclusiveLock() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

}  // namespace quorvel::file
