#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/process.h"
#include "base/file.h"

namespace quorvel::process {
namespace {

// A path for the shell, in single quotes.
std::string shell_quoted(std::string_view path) {
  std::string out = "'";
  for (const char c : path) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

// Starts a program in a session of its own, as a grandchild that nobody
// waits for (so no zombie is left), with standard streams on /dev/null and
// no inherited descriptors. The grandchild's pid once its exec succeeded,
// else 0.
// The permission mask the client was started with, for what it starts;
// -1 while the client keeps its own.
mode_t started_mask = static_cast<mode_t>(-1);

pid_t spawn_detached(const std::vector<std::string>& argv) {
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return 0;
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  // Only async-signal-safe calls between fork and exec. The pipe carries
  // the grandchild's pid, then, only when its exec failed, the error.
  const pid_t child = fork();
  if (child < 0) {
    close(report[0]);
    close(report[1]);
    return 0;
  }
  if (child == 0) {
    setsid();
    const pid_t grandchild = fork();
    if (grandchild != 0) {
      static_cast<void>(write(report[1], &grandchild, sizeof grandchild));
      _exit(0);
    }
    if (started_mask != static_cast<mode_t>(-1)) umask(started_mask);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    for (int fd = 3; fd < 1024; ++fd) {
      if (fd != report[1]) close(fd);
    }
    execv(args[0], args.data());
    const int error = errno;
    static_cast<void>(write(report[1], &error, sizeof error));
    _exit(127);
  }
  close(report[1]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  pid_t grandchild = 0;
  int error = 0;
  ssize_t got = 0, n = 0;
  while ((got = read(report[0], &grandchild, sizeof grandchild)) < 0 && errno == EINTR) {
  }
  while ((n = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
  }
  close(report[0]);
  // The pipe closes on a successful exec; an error number means it failed.
  return got == sizeof grandchild && grandchild > 0 && n == 0 ? grandchild : 0;
}

// When a process started, in clock ticks since boot (field 22 of its
// stat), so that a pid that was reused is not taken for the program; 0
// when the process is gone or a zombie.
unsigned long long start_time(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  if (!std::getline(in, stat)) return 0;
  const auto close = stat.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(stat.substr(close + 2));
  std::string state;
  fields >> state;
  if (state == "Z" || state == "X") return 0;
  std::string skip;
  for (int i = 0; i < 18; ++i) fields >> skip;  // fields 4 to 21
  unsigned long long started = 0;
  fields >> started;
  return started;
}

// The programs started with an id: pid and start time.
std::map<std::int64_t, unsigned long long>& started_programs() {
  static std::map<std::int64_t, unsigned long long> started;
  return started;
}

// Beside the program when its folder can be written, else in the user's
// runtime folder (private to the user by definition). A shared temporary
// folder is never used by a fixed name: another user could plant a link
// there; a new private folder is made instead.
Text script_directory(const Text& program_directory, bool& private_folder) {
  private_folder = false;
  if (file::is_writable_directory(program_directory)) return program_directory;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/' && file::is_writable_directory(from_utf8(runtime))) {
    return from_utf8(runtime);
  }
  private_folder = true;
  return file::make_private_directory("quorvel-restart-");
}

}  // namespace

Text restart_script(std::string_view program, int delay, bool remove_folder) {
  // A ping count of n waits about n - 1 seconds.
  const int seconds = (delay > 0 ? delay : 2) - 1;
  return "#!/bin/sh\n"
         "sleep " +
         std::to_string(seconds) + "\n" + shell_quoted(program) +
         " </dev/null >/dev/null 2>&1 &\n"
         "rm -f -- \"$0\"\n" +
         (remove_folder ? "rmdir -- \"$(dirname -- \"$0\")\"\n" : "");
}

Text write_restart_script(const Text& program, int delay) {
  bool private_folder = false;
  const Text folder = script_directory(file::directory_of(program), private_folder);
  if (folder.empty()) return {};
  const Text script = folder + "/Restart.sh";
  // An earlier script (or anything planted in its place) goes; the new one
  // is created exclusively, so nothing is ever written through a link.
  static_cast<void>(file::remove(script));
  if (!file::create_new(script, to_utf8(restart_script(program, delay, private_folder)), true)) {
    return {};
  }
  return script;
}

bool restart_program(int delay) {
  const Text program = file::executable_path();
  struct stat info {};
  if (program.empty() || stat(to_utf8(program).c_str(), &info) != 0) return false;
  const Text script = write_restart_script(program, delay);
  if (script.empty()) return false;
  // The new process takes this one's place: it waits for this one to end
  // instead of handing over to it as a second start would.
  setenv("QUORVEL_REPLACES", std::to_string(getpid()).c_str(), 1);
  // The script runs by its full path, so "$0" deletes exactly it.
  if (spawn_detached({"/bin/sh", to_utf8(script)}) == 0) {
    unsetenv("QUORVEL_REPLACES");
    return false;
  }
  force_exit();
}

void keep_new_files_private() {
  const mode_t before = umask(077);
  if (started_mask == static_cast<mode_t>(-1)) started_mask = before;
}

void with_started_permissions(const std::function<void()>& start) {
  if (started_mask == static_cast<mode_t>(-1)) {
    start();
    return;
  }
  const mode_t own = umask(started_mask);
  start();
  umask(own);
}

void force_exit() {
  _exit(0);
}

std::int64_t launch_program(std::string_view path) {
  const std::string native = to_utf8(path);
  if (access(native.c_str(), X_OK) != 0) return 0;
  const pid_t pid = spawn_detached({native});
  if (pid == 0) return 0;
  auto& started = started_programs();
  if (started.size() > 64) started.clear();  // ids of long-gone programs
  started[pid] = start_time(pid);
  return pid;
}

bool is_running(std::int64_t id) {
  auto& started = started_programs();
  const auto found = started.find(id);
  if (found == started.end()) return false;
  const unsigned long long now = start_time(static_cast<pid_t>(id));
  if (now != 0 && now == found->second) return true;
  started.erase(found);
  return false;
}

namespace {

bool exists(const Text& path) {
  return access(to_utf8(path).c_str(), F_OK) == 0;
}

// A program the client starts: beside it under config/ (a build tree, an
// unpacked folder), else, where the user may put their own, in
// $XDG_CONFIG_HOME/quorvel/, else where a package installed it:
// <prefix>/libexec/quorvel/ for a client in <prefix>/bin/. Nothing found:
// the place beside it, which then fails as a missing program does.
Text helper_program(std::string_view name, bool user_may_replace) {
  const Text folder = file::directory_of(file::executable_path());
  const Text beside = folder + "/config/" + Text(name);
  if (exists(beside)) return beside;
  if (user_may_replace) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    const Text base = config != nullptr && config[0] == '/' ? from_utf8(config)
                      : home != nullptr                     ? from_utf8(home) + "/.config"
                                                            : Text();
    if (!base.empty() && exists(base + "/quorvel/" + Text(name))) {
      return base + "/quorvel/" + Text(name);
    }
  }
  const Text installed = file::directory_of(folder) + "/libexec/quorvel/" + Text(name);
  return exists(installed) ? installed : beside;
}

}  // namespace

Text runtime_installer() {
  return helper_program("install-runtime.sh", false);
}

Text screenshot_tool() {
  return helper_program("QQSnapShot", true);
}

}  // namespace quorvel::process
