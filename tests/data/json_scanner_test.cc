#include "data/json_scanner.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

const std::string kIdeo = "\xA1\xA1";

TEST(JsonRewrites, CompactRemovesWhiteSpaceAroundBrackets) {
  EXPECT_EQ(JsonScanner::compact("{ \"a\" : [ 1 , 2 ] }"), "{\"a\":[ 1 , 2 ]}");
  EXPECT_EQ(JsonScanner::compact("a" + kIdeo + "{"), "a{");
  EXPECT_EQ(JsonScanner::compact("]\r\n\t x"), "]x");
  EXPECT_EQ(JsonScanner::compact("x  y"), "x  y");
}

TEST(JsonRewrites, TrimQuotesFollowsAlternationOrder) {
  EXPECT_EQ(JsonScanner::trim_quotes("\"abc\""), "abc");
  EXPECT_EQ(JsonScanner::trim_quotes("  \"a b\"  "), "a b");
  EXPECT_EQ(JsonScanner::trim_quotes("a \" b"), "a b");
  // The quote before the line break takes the break along.
  EXPECT_EQ(JsonScanner::trim_quotes("\"x\"\n\t\"y\""), "x\"y");
  EXPECT_EQ(JsonScanner::trim_quotes(kIdeo + "\"v\"" + kIdeo), "v");
  EXPECT_EQ(JsonScanner::trim_quotes("mid\"dle"), "mid\"dle");
}

TEST(JsonRewrites, TrimSpacesWorksPerLine) {
  EXPECT_EQ(JsonScanner::trim_spaces("  a  \n  b  "), "a\nb");
  EXPECT_EQ(JsonScanner::trim_spaces("a \r b"), "a\rb");
  EXPECT_EQ(JsonScanner::trim_spaces("a  b"), "a  b");
  EXPECT_EQ(JsonScanner::trim_spaces(kIdeo + "\t" + kIdeo), "");
  // A second byte A1 of another character is no ideographic space.
  EXPECT_EQ(JsonScanner::trim_spaces("\xB0\xA1\xA1\xA1"), "\xB0\xA1");
}

TEST(JsonRewrites, LongRunsStayLinear) {
  const std::string run(4 << 20, ' ');
  EXPECT_EQ(JsonScanner::trim_quotes("x" + run + "y"), "x" + run + "y");
  EXPECT_EQ(JsonScanner::trim_spaces("x" + run + "y"), "x" + run + "y");
  EXPECT_EQ(JsonScanner::compact("x" + run + "y"), "x" + run + "y");
}

TEST(JsonRewrites, NormalisePath) {
  EXPECT_EQ(JsonScanner::normalise_path("list[0].id"), "list.[0].id");
  EXPECT_EQ(JsonScanner::normalise_path("a[0][1]"), "a.[0][1]");
  EXPECT_EQ(JsonScanner::normalise_path("a.[0]"), "a.[0]");
  EXPECT_EQ(JsonScanner::normalise_path("[0]"), "[0]");
  EXPECT_EQ(JsonScanner::normalise_path("\xD6\xD0[12]"), "\xD6\xD0.[12]");
  EXPECT_EQ(JsonScanner::normalise_path("a[x]"), "a[x]");
}

TEST(JsonRewrites, RestoreEscapedQuotes) {
  EXPECT_EQ(JsonScanner::restore_escaped_quotes("a\\''b"), "a\\\"b");
  EXPECT_EQ(JsonScanner::restore_escaped_quotes("\xB0\x5C''"), "\xB0\x5C''");
}

TEST(JsonScanner, SplitPath) {
  JsonScanner s;
  EXPECT_EQ(s.split_path("a.b.c"), 3);
  EXPECT_EQ(s.path_segments()[1], "b");
  EXPECT_EQ(s.split_path("\"a.b\".c"), 2);
  EXPECT_EQ(s.path_segments()[0], "a.b");
  EXPECT_EQ(s.split_path("a..b"), 3);
  EXPECT_EQ(s.path_segments()[1], "");
  EXPECT_EQ(s.split_path("\"unclosed.x"), 0);
}

TEST(JsonScanner, SplitObjectKeepsValuesRaw) {
  JsonScanner s;
  JsonPairs pairs;
  EXPECT_EQ(s.split_object(R"({"a": 1 ,"b":[1,{"x":2}],"c":{"d":[]}})", true, pairs), 3);
  EXPECT_EQ(pairs[0].second, "1");
  EXPECT_EQ(pairs[1].second, R"([1,{"x":2}])");
  EXPECT_EQ(pairs[2].first, "c");
  EXPECT_EQ(pairs[2].second, R"({"d":[]})");
}

TEST(JsonScanner, LoadTextProtectsEscapedQuotes) {
  JsonScanner s;
  s.load_text(R"({"a":"\"","b":"\\"})");
  EXPECT_EQ(s.source_between(0, 30), R"({"a":"\''","b":"\\"})");
  EXPECT_TRUE(s.is_balanced(0, 22));
  EXPECT_FALSE(s.is_balanced(0, 3));
  EXPECT_FALSE(s.is_balanced(-1, 3));
}

}  // namespace
}  // namespace quorvel
