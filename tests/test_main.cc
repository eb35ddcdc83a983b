// Takes the user's locale from the environment, as a front-end would, so
// that the runs under other locales show the core does not depend on it.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>

int main(int argc, char** argv) {
  // A locale that cannot be set would make the locale runs prove nothing.
  if (!std::setlocale(LC_ALL, "")) {
    std::fprintf(stderr, "the locale named in the environment is not installed\n");
    return 1;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
