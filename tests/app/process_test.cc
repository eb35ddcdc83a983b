// The POSIX process services: the restart script, and starting programs.
#include "app/process.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

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

TEST(LaunchProgram, OnlyWhatCanRun) {
  EXPECT_TRUE(launch_program("/bin/true"));
  EXPECT_FALSE(launch_program("/nonexistent/tool"));
  EXPECT_FALSE(launch_program("/etc/hostname"));
}

}  // namespace
}  // namespace quorvel::process
