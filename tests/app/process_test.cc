// The POSIX process services: the restart script, and starting programs.
#include "app/process.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "lib/unprivileged-posix.h"

namespace quorvel::process {
namespace {

TEST(RestartScript, WaitsStartsAndDeletesItself) {
  EXPECT_EQ(restart_script("/opt/quorvel/quorvel", 0),
            "#!/bin/sh\nsleep 1\n'/opt/quorvel/quorvel' </dev/null >/dev/null 2>&1 &\n"
            "rm -f -- \"$0\"\n");
  EXPECT_NE(restart_script("/a/it's here/q", 5).find("sleep 4\n'/a/it'\\''s here/q'"),
            std::string::npos);
}

TEST(RestartScript, RunsAsWritten) {
  // The script starts its program, here a marker writer, and removes itself.
  const auto dir =
      std::filesystem::temp_directory_path() / ("quorvel_restart_test_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const auto program = dir / "program";
  const auto marker = dir / "started";
  std::ofstream(program) << "#!/bin/sh\ntouch '" << marker.string() << "'\n";
  chmod(program.c_str(), 0755);
  const auto script = dir / "Restart.sh";
  std::ofstream(script) << restart_script(program.string(), 1);
  ASSERT_EQ(std::system(("/bin/sh '" + script.string() + "'").c_str()), 0);
  for (int i = 0; i < 100 && !std::filesystem::exists(marker); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(std::filesystem::exists(marker));
  EXPECT_FALSE(std::filesystem::exists(script));
  std::filesystem::remove_all(dir);
}

// A program whose folder cannot be written, with no runtime folder: the
// script goes to a new private folder, never to a fixed name in a shared
// one where another user could have planted a link.
TEST(RestartScript, NeverWritesThroughALinkInASharedFolder) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("quorvel_restart_link_" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  const auto program_dir = dir / "program-dir";
  const auto shared = dir / "shared";
  std::filesystem::create_directories(program_dir);
  std::filesystem::create_directories(shared);
  std::filesystem::permissions(dir, std::filesystem::perms::all);
  std::filesystem::permissions(shared, std::filesystem::perms::all);
  const auto program = program_dir / "quorvel";
  const auto marker = shared / "started";
  std::ofstream(program) << "#!/bin/sh\ntouch '" << marker.string() << "'\n";
  chmod(program.c_str(), 0755);
  chmod(program_dir.c_str(), 0555);
  const auto victim = shared / "victim";
  std::ofstream(victim) << "precious";
  chmod(victim.c_str(), 0666);
  std::filesystem::create_symlink(victim, shared / "Restart.sh");

  testing_support::without_privileges([&] {
    unsetenv("XDG_RUNTIME_DIR");
    setenv("TMPDIR", shared.c_str(), 1);
    const Text script = write_restart_script(from_utf8(program.string()), 1);
    const std::string folder = std::filesystem::path(to_utf8(script)).parent_path().string();
    struct stat st {};
    const bool private_folder = !script.empty() && folder != shared.string() &&
                                folder.rfind(shared.string() + "/quorvel-restart-", 0) == 0 &&
                                stat(folder.c_str(), &st) == 0 && (st.st_mode & 0777) == 0700;
    std::ifstream in(victim);
    const std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!private_folder || kept != "precious") return false;
    // It starts the program, then removes itself and its folder.
    if (std::system(("/bin/sh '" + to_utf8(script) + "'").c_str()) != 0) return false;
    for (int i = 0; i < 100 && !std::filesystem::exists(marker); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::filesystem::exists(marker) && !std::filesystem::exists(folder);
  });
  chmod(program_dir.c_str(), 0755);
  std::filesystem::remove_all(dir);
}

TEST(LaunchProgram, OnlyWhatCanRun) {
  EXPECT_NE(launch_program("/bin/true"), 0);
  EXPECT_EQ(launch_program("/nonexistent/tool"), 0);
  EXPECT_EQ(launch_program("/etc/hostname"), 0);
}

TEST(LaunchProgram, TellsWhetherItStillRuns) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("quorvel_running_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const auto program = dir / "tool";
  std::ofstream(program) << "#!/bin/sh\nsleep 1\n";
  chmod(program.c_str(), 0755);
  const std::int64_t id = launch_program(program.string());
  ASSERT_NE(id, 0);
  EXPECT_TRUE(is_running(id));
  std::this_thread::sleep_for(std::chrono::milliseconds(1600));
  EXPECT_FALSE(is_running(id));
  EXPECT_FALSE(is_running(12345678));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace quorvel::process
