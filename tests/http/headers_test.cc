#include "http/headers.h"

#include <gtest/gtest.h>

namespace quorvel::http {
namespace {

TEST(NormalizeHeaderBlock, RecapitalisesNamesOnly) {
  EXPECT_EQ(normalize_header_block("accept: */*\r\nx-requested-with: XMLHttpRequest\r\n"),
            "Accept: */*\r\nX-Requested-With: XMLHttpRequest");
  EXPECT_EQ(normalize_header_block("content-type: text/HTML"), "Content-Type: text/HTML");
  EXPECT_EQ(normalize_header_block("USER-agent: x"), "USER-Agent: x");
  EXPECT_EQ(normalize_header_block("garbage\r\nhost: a"), "Host: a");
  EXPECT_EQ(normalize_header_block(""), "");
  EXPECT_EQ(normalize_header_block("garbage"), "");
  // A trailing hyphen is an empty last piece, which splitting drops.
  EXPECT_EQ(normalize_header_block("x-: 1"), "X: 1");
}

TEST(CapitalizeFirst, OnlyTheFirstAsciiLetter) {
  EXPECT_EQ(capitalize_first("cookie"), "Cookie");
  EXPECT_EQ(capitalize_first("cOOKIE"), "COOKIE");
  EXPECT_EQ(capitalize_first("\xD6\xD0x"), "\xD6\xD0x");
  EXPECT_EQ(capitalize_first(""), "");
}

TEST(HeaderValue, FirstLineThatBeginsWithTheNameDecides) {
  EXPECT_EQ(header_value("Connection: keep-alive", "Connection"), "keep-alive");
  EXPECT_EQ(header_value("Connection-X: 1\r\nConnection: close", "Connection"), "");
  EXPECT_EQ(header_value("Host: a\r\nX: Host: b", "X"), "Host: b");
  EXPECT_EQ(header_value("A: 1", "a"), "");
  EXPECT_EQ(header_value("", "A"), "");
}

TEST(TextBetween, MarkersStartAndCase) {
  EXPECT_EQ(text_between("Set-Cookie: sid=abc; Path=/", "Set-Cookie:", ";"), " sid=abc");
  EXPECT_EQ(text_between("x\"a1\"",
                         "#\xD2\xFD\xBA\xC5"
                         "a",
                         "#\xD2\xFD\xBA\xC5"),
            "1");
  EXPECT_EQ(text_between("<A>1</A><a>2</a>", "<a>", "</a>"), "2");
  EXPECT_EQ(text_between("<A>1</A><a>2</a>", "<a>", "</a>", 0, true), "1");
  EXPECT_EQ(text_between("<a>1</a><a>2</a>", "<a>", "</a>", 2), "2");
  EXPECT_EQ(text_between("<a>1", "<a>", "</a>"), "");
  EXPECT_EQ(text_between("abc", "x", "c"), "");
  EXPECT_EQ(text_between("abc", "a", "c", 99), "");
}

TEST(TextBetween, MarkersAreNeverFoundInsideDoubleByteCharacters) {
  // B0 5B has a "[" as its second byte.
  EXPECT_EQ(text_between("\xB0[x[y]", "[", "]"), "y");
}

TEST(CookieName, TextBeforeTheFirstEqualsSignTrimmed) {
  EXPECT_EQ(cookie_name(" sid =abc=1"), "sid");
  EXPECT_EQ(cookie_name("flag"), "flag");
  EXPECT_EQ(cookie_name("\xA1\xA1name\xA1\xA1"), "name");
}

TEST(MergeCookieText, NewValuesWinAndDeletionsHide) {
  Text old_list = "a=1; b=2";
  Text new_list = "b=3; c=4";
  EXPECT_EQ(merge_cookie_text(old_list, new_list), "b=3; c=4; a=1");
  EXPECT_EQ(old_list, "b=3; c=4; a=1");

  old_list = "a=1; b=2";
  new_list = "a=deleted";
  EXPECT_EQ(merge_cookie_text(old_list, new_list), "b=2");

  old_list = "a=1;";
  new_list = "";
  EXPECT_EQ(merge_cookie_text(old_list, new_list), "a=1");

  old_list = "";
  new_list = " x=1; ";
  EXPECT_EQ(merge_cookie_text(old_list, new_list), "x=1");
  EXPECT_EQ(new_list, "x=1; ");  // the trimmed form, with its separator space
}

TEST(RemoveDuplicateItems, BySeparatorOrByCharacter) {
  EXPECT_EQ(remove_duplicate_items("x; y; x", "; ", true), "x; y");
  EXPECT_EQ(remove_duplicate_items("abca", ",", false), "a,b,c");
  EXPECT_EQ(remove_duplicate_items("", "; ", true), "");
}

TEST(SplitCharacters, PairsStayWhole) {
  const TextList pieces = split_characters("a\r\nb\xD6\xD0");
  ASSERT_EQ(pieces.size(), 4u);
  EXPECT_EQ(pieces[1], "\r\n");
  EXPECT_EQ(pieces[3], "\xD6\xD0");
  EXPECT_EQ(split_characters("\xD6").size(), 1u);  // a lone lead byte at the end
}

TEST(SplitText, PiecesAndDoubleByteSkipping) {
  EXPECT_EQ(split_text("a;;b;", ";"), (TextList{"a", "", "b"}));
  EXPECT_TRUE(split_text("", ";").empty());
  // 0x80 and above takes the next byte along: "\xB0;" is one character.
  EXPECT_EQ(split_text("\xB0;x;y", ";"), (TextList{"\xB0;x", "y"}));
}

TEST(FindItem, OneBasedOrMinusOne) {
  EXPECT_EQ(find_item({"a", "b"}, "b"), 2);
  EXPECT_EQ(find_item({"a", "b"}, "B"), -1);
  EXPECT_EQ(find_item({}, "a"), -1);
}

TEST(HeadersBadInput, LongHostileTextsStayFast) {
  std::string cookies;
  for (int i = 0; i < 200000; ++i) cookies += "c" + std::to_string(i % 50000) + "=v; ";
  Text old_list = cookies;
  Text new_list = cookies;
  const Text merged = merge_cookie_text(old_list, new_list);
  EXPECT_EQ(split_text(merged, "; ").size(), 50000u);
  const std::string block(10 << 20, 'a');
  EXPECT_EQ(normalize_header_block(block), "");
  EXPECT_EQ(text_between(block, "a", "b"), "");
  EXPECT_EQ(remove_duplicate_items(block.substr(0, 1 << 20), ",", false), "a");
  EXPECT_EQ(split_characters(std::string(3, '\xD6')).size(), 2u);
}

}  // namespace
}  // namespace quorvel::http
