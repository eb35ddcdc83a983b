// The Windows restart: the script as written, how it names the program,
// and a real restart of a probe program from a folder with a Chinese name.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/process-win32.h"
#include "app/process.h"
#include "base/file.h"
#include "base/wide-win32.h"

namespace quorvel::process {
namespace {

TEST(RestartScript, FourLinesEndingInItsOwnDeletion) {
  EXPECT_EQ(
      restart_script("C:\\PROGRA~1\\QUORVEL.EXE", 0),
      "@echo off \r\n@ping 127.0.0.1 -n 2 >nul\r\nstart \"\" \"C:\\PROGRA~1\\QUORVEL.EXE\"\r\n"
      "del \"%~f0\"");
  EXPECT_NE(restart_script("x", 7).find("-n 7 >nul"), Text::npos);
}

TEST(RestartTarget, ShortAsciiPathOrAnInheritedVariable) {
  const Text self = file::executable_path();
  const Text target = restart_target(self);
  ASSERT_FALSE(target.empty());
  for (const char c : target) EXPECT_LT(static_cast<unsigned char>(c), 0x80);
  EXPECT_EQ(target.find('%'), Text::npos);

  // No short form (here: no such file): the path goes through the
  // environment, in UTF-16.
  const Text missing = from_utf8("C:\\不存在的目录\\客服.exe");
  EXPECT_EQ(restart_target(missing), "%QUORVEL_RESTART_PROGRAM%");
  wchar_t value[512] = {};
  ASSERT_GT(GetEnvironmentVariableW(L"QUORVEL_RESTART_PROGRAM", value, 512), 0u);
  EXPECT_EQ(narrow(value), missing);
}

TEST(RestartProgram, TheProbeComesBackAndTheScriptIsGone) {
  wchar_t temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  const Text folder = narrow(temp) + from_utf8("重启 测试") + std::to_string(GetCurrentProcessId());
  ASSERT_TRUE(file::make_directories(folder));
  const Text probe = folder + "\\restart_probe.exe";
  const Text source = file::directory_of(file::executable_path()) + "\\restart_probe.exe";
  ASSERT_TRUE(CopyFileW(wide(source).c_str(), wide(probe).c_str(), FALSE));
  ASSERT_NE(launch_program(probe), 0);

  const Text state = folder + "\\probe-state.txt";
  std::string seen;
  for (int i = 0; i < 300 && seen != "restarted"; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    seen = file::read(state).value_or("");
  }
  EXPECT_EQ(seen, "restarted");
  // The script deletes itself by its own full path.
  bool script_gone = false;
  for (int i = 0; i < 50 && !script_gone; ++i) {
    script_gone =
        GetFileAttributesW(wide(folder + "\\Restart.bat").c_str()) == INVALID_FILE_ATTRIBUTES;
    if (!script_gone) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(script_gone);
}

}  // namespace
}  // namespace quorvel::process
