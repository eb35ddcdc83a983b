#include "base/file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

namespace quorvel::file {
namespace {

struct FdCloser {
  int fd;
  ~FdCloser() {
    if (fd >= 0) ::close(fd);
  }
};

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

}  // namespace

std::optional<std::string> read(const Text& path) {
  FdCloser f{::open(native(path).c_str(), O_RDONLY | O_CLOEXEC)};
  if (f.fd < 0) return std::nullopt;
  std::string data;
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(f.fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (n == 0) break;
    data.append(buf, static_cast<std::size_t>(n));
  }
  return data;
}

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
  const std::string tmp = target + ".tmp";
  {
    FdCloser f{::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600)};
    if (f.fd < 0) return false;
    if (!write_all(f.fd, data) || ::fchmod(f.fd, mode) != 0) {
      ::unlink(tmp.c_str());
      return false;
    }
  }
  if (::rename(tmp.c_str(), target.c_str()) != 0) {
    ::unlink(tmp.c_str());
    return false;
  }
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

}  // namespace quorvel::file
