// A writer killed at any instant must leave a settings file in which every
// key still reads back whole.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "app/profile.h"

namespace {

bool well_formed(const std::string& v, int key) {
  const auto colon = v.find(':');
  if (colon == std::string::npos || colon == 0) return false;
  const std::string filler = v.substr(colon + 1);
  return filler ==
         std::string(static_cast<std::size_t>(500 + key * 300), static_cast<char>('a' + key));
}

TEST(ConfigWrite, SurvivesKillAtRandomMoments) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("quorvel-kill-" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "config.ini").string();
  for (int key = 0; key < 8; ++key) {
    quorvel::profile::write_string(file, "main", "key" + std::to_string(key),
                                   "0:" + std::string(static_cast<std::size_t>(500 + key * 300),
                                                      static_cast<char>('a' + key)));
  }
  std::mt19937 rng(20261208);
  std::uniform_int_distribution<int> delay_us(0, 20000);
  for (int round = 0; round < 150; ++round) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      execl(CONFIG_WRITER, CONFIG_WRITER, file.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(delay_us(rng)));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    for (int key = 0; key < 8; ++key) {
      const std::string v =
          quorvel::profile::read_string(file, "main", "key" + std::to_string(key));
      ASSERT_TRUE(well_formed(v, key))
          << "round " << round << " key " << key << ": " << v.substr(0, 40);
    }
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
