// Runs a check with the permissions of an ordinary user: as "nobody" when
// the tests run as root, who may read and write any file. The check's
// result comes back through the child's exit status.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>

namespace quorvel::testing_support {

inline void without_privileges(const std::function<bool()>& check) {
  if (geteuid() != 0) {
    EXPECT_TRUE(check());
    return;
  }
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
    _exit(check() ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

}  // namespace quorvel::testing_support
