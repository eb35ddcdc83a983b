// The table converter stands in for the system's GB18030 code page where
// there is none; it must agree with iconv on every code.
#include <gtest/gtest.h>

#include <string>

#include "base/codec.h"

namespace quorvel::codec {
namespace {

TEST(CodecTable, EveryTwoByteCodeDecodesAsIconvDoes) {
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const std::string code = {static_cast<char>(lead), static_cast<char>(trail)};
      std::u16string by_iconv;
      std::u16string by_table;
      const bool ok = gb18030_to_utf16(code, by_iconv);
      ASSERT_EQ(table::gb18030_to_utf16(code, by_table), ok) << lead << " " << trail;
      if (ok) {
        ASSERT_EQ(by_table, by_iconv) << lead << " " << trail;
      }
    }
  }
}

TEST(CodecTable, EveryBmpCodePointEncodesAsIconvDoes) {
  for (std::uint32_t cp = 1; cp <= 0xFFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    const std::u16string unit(1, static_cast<char16_t>(cp));
    std::string by_iconv;
    std::string by_table;
    const bool ok = utf16_to_gb18030(unit, by_iconv);
    ASSERT_EQ(table::utf16_to_gb18030(unit, by_table), ok) << cp;
    if (!ok) continue;
    ASSERT_EQ(by_table, by_iconv) << cp;
    std::u16string back;
    ASSERT_TRUE(table::gb18030_to_utf16(by_table, back)) << cp;
  }
}

TEST(CodecTable, SupplementaryPlanesAndCodesPastUnicode) {
  const std::u16string emoji = u"\U0001F602\U0010FFFF\U00020087";
  std::string by_iconv;
  std::string by_table;
  ASSERT_TRUE(utf16_to_gb18030(emoji, by_iconv));
  ASSERT_TRUE(table::utf16_to_gb18030(emoji, by_table));
  EXPECT_EQ(by_table, by_iconv);
  std::u16string back;
  ASSERT_TRUE(table::gb18030_to_utf16(by_table, back));
  EXPECT_EQ(back, emoji);
  EXPECT_FALSE(table::gb18030_to_utf16("\xE3\x32\x9A\x36", back));  // one past U+10FFFF
  EXPECT_FALSE(table::gb18030_to_utf16("\xD6", back));
}

}  // namespace
}  // namespace quorvel::codec
