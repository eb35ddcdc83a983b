#include "data/regex_object.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

constexpr const char* kCharset = "<meta.+?charset=[^\\w]?([-\\w]+)";

TEST(RegexObject, FindsTheCharsetOfAPageHead) {
  RegexObject re;
  ASSERT_TRUE(re.execute(kCharset,
                         "<head><meta http-equiv=\"Content-Type\" "
                         "content=\"text/html; charset=utf-8\"></head>"));
  EXPECT_EQ(re.submatch_text(1, 1), "utf-8");
  ASSERT_TRUE(re.execute(kCharset, "<META HTTP-EQUIV=\"x\" CONTENT=\"text/html; CHARSET=GBK\">"));
  EXPECT_EQ(re.submatch_text(1, 1), "GBK");
  ASSERT_TRUE(re.execute(kCharset, "<meta charset=\"gb2312\">"));
  EXPECT_EQ(re.submatch_text(1, 1), "gb2312");
}

TEST(RegexObject, DotStopsAtALineFeedOnly) {
  RegexObject re;
  ASSERT_TRUE(
      re.execute(kCharset, "<meta http-equiv=\"x\"\ncontent=\"text/html; charset=utf-8\">"));
  EXPECT_EQ(re.match_count(), 0);
  ASSERT_TRUE(re.execute("a.b", "a\rb"));
  EXPECT_EQ(re.match_count(), 1);
}

TEST(RegexObject, NoMatchIsStillASuccess) {
  RegexObject re;
  ASSERT_TRUE(re.execute(kCharset, "<html></html>"));
  EXPECT_EQ(re.match_count(), 0);
  EXPECT_EQ(re.submatch_text(1, 1), "");
  EXPECT_EQ(re.submatch_count(), 0);
  EXPECT_FALSE(re.execute("(", "x"));
  EXPECT_EQ(re.pattern(), "");
  EXPECT_EQ(re.match_count(), 0);
}

TEST(RegexObject, QuoteTokenStandsForADoubleQuote) {
  RegexObject re;
  ASSERT_TRUE(
      re.execute("a#\xD2\xFD\xBA\xC5"
                 "b",
                 "a\"b", false, true, true, true));
  EXPECT_EQ(re.match_count(), 1);
  EXPECT_EQ(re.pattern(), "a\"b");
}

TEST(RegexObject, SubmatchCountComesFromTheFirstMatch) {
  RegexObject re;
  ASSERT_TRUE(re.execute("(a)(b)?", "ab a"));
  EXPECT_EQ(re.match_count(), 2);
  EXPECT_EQ(re.match_text(2), "a");
  EXPECT_EQ(re.submatch_count(), 2);
  EXPECT_EQ(re.submatch_text(2, 2), "");  // took part in no match
  EXPECT_EQ(re.match_text(3), "");
  EXPECT_EQ(re.match_text(0), "");
}

TEST(RegexObject, MultiLineAnchorsAtEveryLineBreak) {
  RegexObject re;
  ASSERT_TRUE(re.execute("^x$", "x\r\nx\rx\nx"));
  EXPECT_EQ(re.match_count(), 4);
  ASSERT_TRUE(re.execute("^x$", "x\nx", false, false));
  EXPECT_EQ(re.match_count(), 0);
  ASSERT_TRUE(re.execute("x$", "x\n", false, false));
  EXPECT_EQ(re.match_count(), 0);  // "$" is the very end without multi-line
}

TEST(RegexObject, GlobalOffKeepsTheFirstMatchAndCaseCanCount) {
  RegexObject re;
  ASSERT_TRUE(re.execute("a", "aAa", false, true, false));
  EXPECT_EQ(re.match_count(), 1);
  ASSERT_TRUE(re.execute("a", "aAa", true));
  EXPECT_EQ(re.match_count(), 2);
}

TEST(RegexObject, DoubleByteCharactersAreNeverMatchedHalf) {
  RegexObject re;
  // B0 5C ends with a backslash byte; "\\\\" matches only a real backslash.
  ASSERT_TRUE(re.execute("\\\\", "\xB0\x5C"));
  EXPECT_EQ(re.match_count(), 0);
  ASSERT_TRUE(re.execute(".", "\xD6\xD0"));
  EXPECT_EQ(re.match_text(1), "\xD6\xD0");
  int position = -1;
  ASSERT_TRUE(re.execute("b",
                         "\xD6\xD0"
                         "ab"));
  EXPECT_EQ(re.match_text(1, &position), "b");
  EXPECT_EQ(position, 3);
}

TEST(RegexObject, ReplaceUsesGroupsAndSpecialTokens) {
  RegexObject re;
  ASSERT_TRUE(re.execute("(\\w+)@(\\w+)", "x a@b y c@d"));
  EXPECT_EQ(re.replace("$2@$1"), "x b@a y d@c");
  EXPECT_EQ(re.replace("[$&]$$"), "x [a@b]$ y [c@d]$");
  EXPECT_EQ(re.replace("$9$0"), "x $9$0 y $9$0");
  ASSERT_TRUE(re.execute("\\s+", "a \xD6\xD0  b", false, true, false));
  EXPECT_EQ(re.replace("_"), "a_\xD6\xD0  b");
}

TEST(RegexObject, EmptyMatchesAdvanceOneCharacter) {
  RegexObject re;
  ASSERT_TRUE(re.execute("x*",
                         "\xD6\xD0"
                         "x"));
  EXPECT_EQ(re.match_count(), 3);
  EXPECT_EQ(re.replace("-"), "-\xD6\xD0--");
}

TEST(RegexObject, CopiesKeepTheirResults) {
  RegexObject a;
  ASSERT_TRUE(a.execute("(b)", "abc"));
  RegexObject b = a;
  ASSERT_TRUE(a.execute("z", "abc"));
  EXPECT_EQ(b.submatch_text(1, 1), "b");
  EXPECT_EQ(a.match_count(), 0);
}

TEST(RegexObject, PathologicalBacktrackingGivesUp) {
  RegexObject re;
  ASSERT_TRUE(re.execute("(a+)+$", std::string(40, 'a') + "b"));
  EXPECT_EQ(re.match_count(), 0);
}

// The page's patterns expect the script engine's ASCII classes: a Chinese
// character, a full-width digit and the ideographic space are none of them.
TEST(RegexObject, WordSpaceAndDigitClassesAreAscii) {
  RegexObject re;
  const std::string subject = "\xD6\xD0\xA3\xB1\xA1\xA1" "a1 ";
  ASSERT_TRUE(re.execute("\\w", subject));
  EXPECT_EQ(re.match_count(), 2);  // "a" and "1"
  ASSERT_TRUE(re.execute("\\d", subject));
  EXPECT_EQ(re.match_count(), 1);
  ASSERT_TRUE(re.execute("\\s", subject));
  EXPECT_EQ(re.match_count(), 1);
  ASSERT_TRUE(re.execute("[^\\w\\s\\d]+", subject));
  EXPECT_EQ(re.match_text(1), "\xD6\xD0\xA3\xB1\xA1\xA1");
}

// A page of a megabyte is searched whole, its last match included.
TEST(RegexObject, AMegabyteSubjectIsSearchedToItsEnd) {
  std::string subject;
  subject.reserve(1 << 20);
  while (subject.size() < (1u << 20)) subject += "\xD6\xD0 line of text\r\n";
  subject += "<meta charset=\"gbk\">";
  RegexObject re;
  ASSERT_TRUE(re.execute(kCharset, subject));
  ASSERT_EQ(re.match_count(), 1);
  EXPECT_EQ(re.submatch_text(1, 1), "gbk");
  ASSERT_TRUE(re.execute("^\\S+", subject));
  EXPECT_GT(re.match_count(), 50'000);
}

}  // namespace
}  // namespace quorvel
