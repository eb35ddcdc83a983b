// The same page in each charset reads alike on both platforms: the names
// pages use, names only the platform's own lists know, a byte-order mark,
// and damaged bytes.
#include "http/charset.h"

#include <gtest/gtest.h>

namespace quorvel::http {
namespace {

std::string decoded(std::string_view charset, std::string_view bytes) {
  Text out = "unset";
  if (!decode_charset(charset, bytes, out)) return "(unknown)";
  return to_utf8(out);
}

TEST(Charset, PagesOfEachCharsetReadAlike) {
  struct Case {
    const char* charset;
    std::string bytes;
    const char* utf8;
  };
  const Case cases[] = {
      {"utf-8", "\xE4\xB8\xAD\xE6\x96\x87", "中文"},
      {"GBK", "\xD6\xD0\xCE\xC4", "中文"},
      {"gb2312", "\xD6\xD0\xCE\xC4", "中文"},
      {"gb18030", "\x81\x30\x81\x30\x95\x32\x82\x36", "\xC2\x80\xF0\xA0\x80\x80"},
      {"big5", "\xA4\xA4\xA4\xE5", "中文"},
      {"Shift_JIS", "\x93\xFA\x96\x7B", "日本"},
      {"euc-kr", "\xC7\xD1\xB1\xB9", "한국"},
      {"EUC-JP", "\xC6\xFC\xCB\xDC", "日本"},
      {"iso-8859-1", "caf\xE9", "café"},
      {"windows-1251", "\xCF\xF0\xE8", "При"},
      {"koi8-r", "\xF0\xD2\xC9", "При"},
      // Beyond the names pages use most: the platform's own lists.
      {"iso-8859-7", "\xE1\xE2", "αβ"},
      {"windows-874", "\xA1", "ก"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(decoded(c.charset, c.bytes), c.utf8) << c.charset;
  }
}

TEST(Charset, MarksDamageAndUnknownNames) {
  EXPECT_EQ(decoded("utf-8", "\xEF\xBB\xBF" "a"), "a");
  // One replacement per refused byte, then on with the next byte.
  EXPECT_EQ(decoded("utf-8", "a\xFF\xFE\xE4\xB8"), "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(decoded("gbk", "\xD6\xD0\xD6"), "中\xEF\xBF\xBD");
  EXPECT_EQ(decoded("utf-8", ""), "");
  Text out = "kept";
  EXPECT_FALSE(decode_charset("no-such-charset", "abc", out));
  EXPECT_EQ(out, "kept");
}

}  // namespace
}  // namespace quorvel::http
