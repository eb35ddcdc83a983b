// The settings file when it is hostile or broken on Linux: write-only files,
// FIFOs and devices, through the tool as an administrator would meet them.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "lib/unprivileged-posix.h"
#include "tools/tool_commands.h"

namespace quorvel::tool {
namespace {

using testing_support::without_privileges;

class ToolSettingsFile : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("quorvel-settings-" + std::to_string(getpid()) + "-" +
            std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::filesystem::create_directories(dir_);
    // Reachable for the unprivileged user that permission tests run as.
    std::filesystem::permissions(dir_, std::filesystem::perms::all);
    file_ = (dir_ / "config.ini").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string contents() const {
    std::ifstream in(file_, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  std::filesystem::path dir_;
  std::string file_;
};

// Treated as empty, a write would have replaced the binding with one key.
TEST_F(ToolSettingsFile, AFileThatCannotBeReadIsNeverReplaced) {
  const std::string before = "[main]\nhostdata=abc\nhostdataid=8866\nloginurl=x\n";
  { std::ofstream(file_, std::ios::binary) << before; }
  chmod(file_.c_str(), 0222);  // write permission only
  without_privileges([&] {
    Io set, get;
    const int set_status = run({"config", "set", "k", "new", "--file", file_}, set);
    const int get_status = run({"config", "get", "hostdata", "--file", file_}, get);
    return set_status == 1 && set.error.find("config.ini") != std::string::npos &&
           get_status == 1 && get.output.empty() && !get.error.empty();
  });
  chmod(file_.c_str(), 0644);
  EXPECT_EQ(contents(), before);
}

TEST_F(ToolSettingsFile, FifosAndDevicesAreRefusedWithoutWaiting) {
  ASSERT_EQ(mkfifo(file_.c_str(), 0600), 0);
  const auto start = std::chrono::steady_clock::now();
  Io get, set;
  EXPECT_EQ(run({"config", "get", "k", "--file", file_}, get), 1);
  EXPECT_EQ(run({"config", "set", "k", "v", "--file", file_}, set), 1);
  EXPECT_FALSE(get.error.empty());
  Io zero;
  EXPECT_EQ(run({"config", "get", "k", "--file", "/dev/zero"}, zero), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  struct stat st {};
  ASSERT_EQ(lstat(file_.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  // Nothing was created beside what is no settings file.
  EXPECT_FALSE(std::filesystem::exists(file_ + ".lock"));
}

// A writer killed between its temporary file and the rename leaves that
// file; the next write removes it once it is a minute old, and nothing
// else.
TEST_F(ToolSettingsFile, TemporaryFilesOfKilledWritersAreRemoved) {
  Io first;
  ASSERT_EQ(run({"config", "set", "k", "1", "--file", file_}, first), 0);
  const auto age = [](const std::string& path, int seconds) {
    const auto when = std::filesystem::file_time_type::clock::now() - std::chrono::seconds(seconds);
    std::filesystem::last_write_time(path, when);
  };
  const std::string stale = file_ + ".tmp-Ab3xZ9", fresh = file_ + ".tmp-Qq1234";
  const std::string other = file_ + ".backup", foreign = (dir_ / "other.ini.tmp-Ab3xZ9").string();
  for (const std::string& p : {stale, fresh, other, foreign}) std::ofstream(p) << std::string(1000, 'x');
  age(stale, 120);
  age(other, 120);
  age(foreign, 120);
  Io second;
  ASSERT_EQ(run({"config", "set", "k", "2", "--file", file_}, second), 0);
  EXPECT_FALSE(std::filesystem::exists(stale));
  EXPECT_TRUE(std::filesystem::exists(fresh));
  EXPECT_TRUE(std::filesystem::exists(other));
  EXPECT_TRUE(std::filesystem::exists(foreign));
}

TEST_F(ToolSettingsFile, BadKeysAreUsageErrorsAndChangeNothing) {
  const std::string before = "[main]\nk=1\n";
  { std::ofstream(file_, std::ios::binary) << before; }
  for (const char* key : {"a\nb", "[main]", ";x", "a=b", "x\r"}) {
    Io io;
    EXPECT_EQ(run({"config", "set", key, "v", "--file", file_}, io), 2) << key;
    EXPECT_NE(io.error.find("usage"), std::string::npos);
  }
  EXPECT_EQ(contents(), before);
}

TEST_F(ToolSettingsFile, ValuesCanComeFromStandardInput) {
  Io io;
  io.input = std::string(300000, 'x') + "\n";
  EXPECT_EQ(run({"config", "set", "big", "-", "--file", file_}, io), 0);
  Io get;
  EXPECT_EQ(run({"config", "get", "big", "--file", file_}, get), 0);
  // Values are read back through the platform's 10240-byte buffer.
  EXPECT_EQ(get.output, std::string(10239, 'x') + "\n");
}

}  // namespace
}  // namespace quorvel::tool
