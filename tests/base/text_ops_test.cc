#include "base/text_ops.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

// "癨" is B0 5C in GB18030: its second byte is a backslash.
const Text kBackslashTrail = "\xB0\x5C";

TEST(FindText, NeverMatchesOnASecondByte) {
  EXPECT_EQ(find_text(kBackslashTrail + "\\", "\\"), 2u);
  EXPECT_EQ(find_text(kBackslashTrail, "\\"), npos);
  EXPECT_EQ(find_text("abcABC", "AB", 0, true), 0u);
  EXPECT_EQ(find_text("abcABC", "AB", 1, true), 3u);
  EXPECT_EQ(find_text("abc", "", 1), 1u);
  EXPECT_EQ(find_text("abc", "x", 9), npos);
}

TEST(ReplaceAll, LeftToRightWithoutOverlapAndDoubleByteAware) {
  EXPECT_EQ(replace_all("aaa", "aa", "b"), "ba");
  EXPECT_EQ(replace_all(kBackslashTrail + "\"", "\\\"", "X"), kBackslashTrail + "\"");
  EXPECT_EQ(replace_all("x", "", "y"), "x");
}

TEST(TextToInt, BehavesAsTheLibraryConversion) {
  EXPECT_EQ(text_to_int("  -42abc"), -42);
  EXPECT_EQ(text_to_int("+7"), 7);
  EXPECT_EQ(text_to_int("abc"), 0);
  EXPECT_EQ(text_to_int(""), 0);
  EXPECT_EQ(text_to_int("99999999999999999999"), 2147483647);
  EXPECT_EQ(text_to_int("-99999999999999999999"), -2147483647 - 1);
}

}  // namespace
}  // namespace quorvel
