#include "base/text.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

// "中文" in GB18030 and UTF-8.
const Text kChinese = "\xD6\xD0\xCE\xC4";
const std::string kChineseUtf8 = "\xE4\xB8\xAD\xE6\x96\x87";
// U+1F600 (an emoji, outside code page 936) in GB18030 and UTF-8.
const Text kEmoji = "\x94\x39\xFC\x36";
const std::string kEmojiUtf8 = "\xF0\x9F\x98\x80";
// U+FFFD in GB18030 and UTF-8.
const Text kReplacement = "\x84\x31\xA4\x37";
const std::string kReplacementUtf8 = "\xEF\xBF\xBD";

TEST(Utf16, AppendsTerminatorAndRoundTrips) {
  const Bytes b = to_utf16("A" + kChinese);
  ASSERT_EQ(b.size(), 8u);
  EXPECT_EQ(b[0], 'A');
  EXPECT_EQ(b[1], 0);
  EXPECT_EQ(b[2], 0x2D);  // U+4E2D
  EXPECT_EQ(b[3], 0x4E);
  EXPECT_EQ(b[6], 0);
  EXPECT_EQ(b[7], 0);
  EXPECT_EQ(from_utf16(b), "A" + kChinese);
  EXPECT_TRUE(to_utf16("").empty());
  EXPECT_EQ(from_utf16(Bytes{}), "");
}

TEST(Utf16, ReadingStopsAtZeroUnitAndIgnoresOddByte) {
  const Bytes b = {'a', 0, 0, 0, 'b', 0};
  EXPECT_EQ(from_utf16(b), "a");
  EXPECT_EQ(from_utf16(Bytes{'a', 0, 'b'}), "a");
}

TEST(Utf8, ChineseAndCharactersOutsideCodePage936SurviveBothWays) {
  EXPECT_EQ(to_utf8(kChinese), kChineseUtf8);
  EXPECT_EQ(from_utf8(kChineseUtf8), kChinese);
  EXPECT_EQ(to_utf8(kEmoji), kEmojiUtf8);
  EXPECT_EQ(from_utf8(kEmojiUtf8), kEmoji);
  EXPECT_EQ(from_utf8(to_utf8("plain ascii")), "plain ascii");
}

TEST(BadInput, MalformedUnitsBecomeReplacementCharacters) {
  // A lone lead byte at the end, and one before an ASCII byte that is not
  // a valid second byte: each becomes U+FFFD and the ASCII byte stays.
  EXPECT_EQ(to_utf8("a\xD6"), "a" + kReplacementUtf8);
  EXPECT_EQ(to_utf8("\xD6\x22x"), kReplacementUtf8 + "\"x");
  EXPECT_EQ(to_utf8("\x80\xFF"), kReplacementUtf8 + kReplacementUtf8);
  // A four-byte code past the end of Unicode.
  EXPECT_EQ(to_utf8("\xFE\x39\xFE\x39z"), kReplacementUtf8 + "z");
  // Invalid UTF-8: a stray continuation byte, an overlong form, a surrogate.
  EXPECT_EQ(from_utf8("\x80q"), kReplacement + "q");
  EXPECT_EQ(from_utf8("\xC0\xAF"), kReplacement + kReplacement);
  EXPECT_EQ(from_utf8("\xED\xA0\x80"), kReplacement + kReplacement + kReplacement);
  // Lone surrogates in UTF-16.
  EXPECT_EQ(from_utf16_units(u"\xD800x"), kReplacement + "x");
  EXPECT_EQ(from_utf16_units(u"x\xDC00"), "x" + kReplacement);
}

TEST(BadInput, NulBytesAreKeptAsCharacters) {
  const Text with_nul("a\0b", 3);
  EXPECT_EQ(to_utf8(with_nul), with_nul);
  EXPECT_EQ(from_utf8(with_nul), with_nul);
}

TEST(BadInput, LargeRandomInputNeverCrashes) {
  std::string junk(1 << 20, '\0');
  unsigned seed = 12345;
  for (char& c : junk) {
    seed = seed * 1103515245 + 12345;
    c = static_cast<char>(seed >> 16);
  }
  const std::string utf8 = to_utf8(junk);
  const Text back = from_utf8(utf8);
  EXPECT_EQ(to_utf8(back), utf8);  // after one pass, the text is stable
}

TEST(CharLength, DoubleAndFourByteCharacters) {
  EXPECT_EQ(char_length_at("a", 0), 1u);
  EXPECT_EQ(char_length_at(kChinese, 0), 2u);
  EXPECT_EQ(char_length_at(kEmoji, 0), 4u);
  EXPECT_EQ(char_length_at("\xD6", 0), 1u);
  EXPECT_EQ(char_length_at("\xB0\x5C", 0), 2u);  // the second byte is a backslash
}

}  // namespace
}  // namespace quorvel
