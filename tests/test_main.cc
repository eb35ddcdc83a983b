// Takes the user's locale from the environment, as a front-end would, so
// that the runs under other locales show the core does not depend on it.
#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
