#include "data/json_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/yield.h"

namespace quorvel {
namespace {

Text get(std::string_view json, std::string_view path, bool zero_based = false) {
  JsonDocument doc;
  doc.parse(json, zero_based);
  return doc.get_text(path);
}

TEST(JsonGetText, DirectoryAnswer) {
  JsonDocument doc;
  const std::string answer = R"({"code":"200","msg":"ok","data":"x"})";
  doc.parse(answer);
  EXPECT_EQ(doc.get_text("code"), "200");
  EXPECT_EQ(doc.get_text("msg"), "ok");
  EXPECT_EQ(doc.get_text("data"), "x");
  EXPECT_EQ(doc.get_text(""), answer);
  EXPECT_EQ(doc.get_text("nope"), "");
}

TEST(JsonGetText, NestedObjectsAndRawValues) {
  const std::string msg = R"({"T":"newmsg","D":{"BossName":"A B","BossId":12}})";
  EXPECT_EQ(get(msg, "D.BossName"), "A B");
  EXPECT_EQ(get(msg, "D.BossId"), "12");
  EXPECT_EQ(get(msg, "D"), R"({"BossName":"A B","BossId":12})");
  EXPECT_EQ(get(msg, "D.Nope"), "");
  EXPECT_EQ(get(msg, "T"), "newmsg");
}

TEST(JsonGetText, WhiteSpaceNextToQuotesGoesEscapesStay) {
  EXPECT_EQ(get(R"({"a":" x "})", "a"), "x");
  EXPECT_EQ(get(R"({"a":"say \"hi\""})", "a"), R"(say \"hi\")");
  EXPECT_EQ(get(R"({"p":"c:\\dir"})", "p"), R"(c:\\dir)");
  EXPECT_EQ(get(R"({"p":"c:\\","q":"\\\""})", "q"), R"(\\\")");
  EXPECT_EQ(get(R"({"u":"\u4e2d"})", "u"), R"(\u4e2d)");
}

TEST(JsonGetText, StructuralBytesInsideStringsAreNotSeen) {
  JsonDocument doc;
  doc.parse(R"({"a":"x,}{]["})");
  EXPECT_EQ(doc.get_text("a"), "x,}{][");
  EXPECT_EQ(doc.nodes().node_count(), 2);
}

TEST(JsonGetText, ArraysOneAndZeroBased) {
  const std::string json = R"({"l":[1,[2,3],{"k":4}]})";
  EXPECT_EQ(get(json, "l.[1]"), "1");
  EXPECT_EQ(get(json, "l.[2]"), "[2,3]");
  EXPECT_EQ(get(json, "l.[2].[2]"), "3");
  EXPECT_EQ(get(json, "l.[3].k"), "4");
  EXPECT_EQ(get(json, "l.[0]"), "");
  EXPECT_EQ(get(json, "l[0]", true), "1");
  EXPECT_EQ(get(json, "l.[1].[0]", true), "2");
  EXPECT_EQ(get(json, "l[2].k", true), "4");
}

TEST(JsonGetText, QuotedSegmentsHoldDots) {
  JsonDocument doc;
  doc.parse(R"({"a.b":{"c":1}})");
  EXPECT_EQ(doc.get_text(R"("a.b".c)"), "1");
  EXPECT_EQ(doc.get_text("''a.b''.c"), "1");
  EXPECT_EQ(doc.node_path(3), R"("a.b".c)");
}

TEST(JsonParse, EmptyAndTrailingArrayElements) {
  JsonDocument doc;
  int index = 0;
  doc.parse("[]");
  EXPECT_EQ(doc.member_count("", index), 0);
  doc.parse("[1,2,]");
  EXPECT_EQ(doc.member_count("", index), 3);
  EXPECT_EQ(doc.get_text("[3]"), "");
  EXPECT_EQ(doc.nodes().node_count(), 4);
}

TEST(JsonParse, TolerantOfLooseText) {
  EXPECT_EQ(get("{a: 1, 'b': 2}", "a"), "1");
  EXPECT_EQ(get("{a: 1, 'b': 2}", "'b'"), "2");
  EXPECT_EQ(get(R"(callback({"x":1}))", "x"), "1");
  JsonDocument doc;
  doc.parse("hello");
  EXPECT_EQ(doc.nodes().kind_of(1), JsonKind::Array);
  EXPECT_EQ(doc.get_text("[1]"), "hello");
  EXPECT_EQ(get(R"({"a":1,"a":2})", "a"), "1");
}

TEST(JsonParse, BlankTextGivesAnEmptyArrayRoot) {
  JsonDocument doc;
  doc.parse("   ");
  EXPECT_EQ(doc.nodes().kind_of(1), JsonKind::Array);
  EXPECT_EQ(doc.nodes().child_count_of(1), 0);
  EXPECT_EQ(doc.get_text(""), "   ");
}

TEST(JsonParse, MultiLineValuesLoseEdgesOfEveryLine) {
  EXPECT_EQ(get("{\"a\":\"  one  \n  two  \"}", "a"), "one\ntwo");
  EXPECT_EQ(get("{\"a\":\"x\r\n\t y\"}", "a"), "x\r\ny");
}

TEST(JsonParse, CompactionReachesIntoStrings) {
  // White space before a bracket is removed everywhere, strings included.
  EXPECT_EQ(get(R"({"a":"see [1]"})", "a"), "see[1]");
}

TEST(JsonParse, IdeographicSpacesAreWhiteSpace) {
  const std::string ideo = "\xA1\xA1";
  EXPECT_EQ(get("{\"a\":" + ideo + "\"" + ideo + "v" + ideo + "\"}", "a"), "v");
  EXPECT_EQ(get("{\"a\":" + ideo + "12" + ideo + "}", "a"), "12");
}

TEST(JsonParse, SecondBytesOfDoubleByteCharactersAreNotStructure) {
  // B0 5C ends in a backslash, B0 5D in "]", B0 7B in "{", B0 7D in "}".
  const std::string slash = "\xB0\x5C";
  EXPECT_EQ(get("{\"a\":\"" + slash + "\",\"b\":\"2\"}", "a"), slash);
  EXPECT_EQ(get("{\"a\":\"" + slash + "\",\"b\":\"2\"}", "b"), "2");
  EXPECT_EQ(get("{\"a\":x\xB0\x5D\xB0\x7B,\"b\":[\xB0\x7D]}", "a"), "x\xB0\x5D\xB0\x7B");
  EXPECT_EQ(get("{\"a\":x\xB0\x5D\xB0\x7B,\"b\":[\xB0\x7D]}", "b.[1]"), "\xB0\x7D");
  // Chinese names and values.
  EXPECT_EQ(get("{\"\xD6\xD0\":\"\xCE\xC4\"}", "\xD6\xD0"), "\xCE\xC4");
}

TEST(JsonParse, UnbalancedTextKeepsWhatCouldBeRead) {
  EXPECT_EQ(get(R"({"a":1,"b":{"c":2)", "a"), "1");
  EXPECT_EQ(get(R"({"a":1,"b":{"c":2)", "b"), "");
  EXPECT_EQ(get(R"({"a":"unterminated)", "a"), "");
  EXPECT_EQ(get(R"([[[)", "[1]"), "");
  EXPECT_EQ(get(R"(]]]}}},,,::)", "a"), "");
}

TEST(JsonParse, DeepNestingIsCutIntoAPlainValue) {
  const int depth = 5000;
  const std::string json = std::string(depth, '[') + "1" + std::string(depth, ']');
  JsonDocument doc;
  doc.parse(json);
  int deepest = 0;
  for (int i = 1; i <= doc.nodes().node_count(); ++i) {
    deepest = std::max(deepest, doc.nodes().level_of(i));
  }
  EXPECT_EQ(deepest, JsonDocument::kMaxLevel);
  EXPECT_EQ(doc.nodes().kind_of(doc.nodes().node_count()), JsonKind::Plain);
}

// Nesting around a large text costs no copy per level: every member is a
// piece of one buffer (2 GB for 600 levels around 2 MB before).
TEST(JsonParse, NestedMembersShareOneBuffer) {
  std::string json;
  for (int i = 0; i < 600; ++i) json += "{\"a\":";
  json += "\"" + std::string(1 << 20, 'x') + "\"" + std::string(600, '}');
  JsonDocument doc;
  doc.parse(json);
  const JsonNodeList& n = doc.nodes();
  ASSERT_EQ(n.node_count(), JsonDocument::kMaxLevel);
  const std::string* buffer = n.at(2)->value.buffer().get();
  for (int i = 2; i <= n.node_count(); ++i) EXPECT_EQ(n.at(i)->value.buffer().get(), buffer);
}

// Pieces of a loaded text are split without loading them again, which is
// right only when loading would leave them as they are: checked here on
// texts with escapes, backslashes, double-byte characters, white space and
// broken structure.
TEST(JsonParse, PiecesNeedNoSecondLoading) {
  std::vector<std::string> texts = {
      R"({"a":{"b":"say \"hi\"","c":["x\\",{"d":"\\\""}]},"e":[ 1 , { "f" : 2 } ]})",
      "{\"a\":{ \"b\" :\t[ \"\xD6\xD0\" , {\"c\":\"\xB0\x5C\"} ] },\"d\":\"\xA1\xA1x\"}",
      "{\"a\":{\n  \"b\": [\n    1,\n    {\"c\": \"  two  \n  lines \"}\n  ]\n}}",
      R"({"a":{"b":{"c":"\|\|\"x"}},"d":[[["\\\\"]]]})",
      R"({"a":{"b":[1,2,{"c":"unterminated}]},"d":{"e":1})",
      R"([{"a":"]}{["},{"b":{"c":["}","{"]}}])",
  };
  // Generated nests of every kind of member.
  for (int seed = 0; seed < 200; ++seed) {
    std::string t;
    unsigned r = static_cast<unsigned>(seed) * 2654435761u + 1;
    const auto next = [&r] { return r = r * 1103515245u + 12345u, (r >> 16) & 0x7FFF; };
    int open = 0;
    for (int i = 0; i < 60; ++i) {
      switch (next() % 9) {
        case 0:
          t += "{\"k" + std::to_string(i) + "\":";
          ++open;
          break;
        case 1:
          t += "[";
          ++open;
          break;
        case 2:
          t += "\"v\\\"" + std::to_string(i) + "\",";
          break;
        case 3:
          t += "\"\\\\\",";
          break;
        case 4:
          t += " \xD6\xD0 ,";
          break;
        case 5:
          if (open > 0) {
            t += "}";
            --open;
          }
          break;
        case 6:
          if (open > 0) {
            t += "],";
            --open;
          }
          break;
        case 7:
          t += "\n\t1 ,";
          break;
        default:
          t += "\"a b\":{\"c\":[1,2]},";
          break;
      }
    }
    texts.push_back("{\"root\":" + t + "}");
  }
  JsonScanner::verify_pieces = true;
  JsonScanner::piece_checks = JsonScanner::piece_mismatches = 0;
  for (const std::string& text : texts) {
    JsonDocument doc;
    doc.parse(text);
  }
  JsonScanner::verify_pieces = false;
  EXPECT_EQ(JsonScanner::piece_mismatches, 0);
  EXPECT_GT(JsonScanner::piece_checks, 500);
}

TEST(JsonParse, TreeInvariantsHold) {
  JsonDocument doc;
  doc.parse(R"({"a":{"b":[1,2,{"c":3}],"d":4},"e":[],"f":{"g":{"h":5}}})");
  const JsonNodeList& n = doc.nodes();
  for (int i = 1; i <= n.node_count(); ++i) {
    int children = 0;
    const int end = n.subtree_end(i) == -1 ? n.node_count() + 1 : n.subtree_end(i);
    for (int j = i + 1; j < end; ++j) {
      if (n.level_of(j) == n.level_of(i) + 1) {
        ++children;
        EXPECT_EQ(n.parent_of(j), i);
        EXPECT_EQ(n.at(j)->ordinal, children);
      }
    }
    EXPECT_EQ(n.child_count_of(i), children) << "node " << i;
  }
  EXPECT_EQ(doc.get_text("a.b.[3].c"), "3");
  EXPECT_EQ(doc.get_text("f.g.h"), "5");
  EXPECT_EQ(doc.node_path(n.node_count()), "f.g.h");
}

TEST(JsonGetText, StartNodeSearchesBelowIt) {
  JsonDocument doc;
  doc.parse(R"({"a":{"x":1},"b":{"x":2}})");
  int b = 0;
  doc.member_count("b", b);
  ASSERT_GT(b, 0);
  EXPECT_EQ(doc.get_text("b.x", b), "2");
  EXPECT_EQ(doc.get_text("anything.x", b), "2");
  EXPECT_EQ(doc.get_text("b", b), "");
}

TEST(JsonSetValue, CreatesMissingMembers) {
  JsonDocument doc;
  doc.parse(R"({"a":{"b":1}})");
  doc.set_value("a.b", "2", JsonKind::Plain);
  EXPECT_EQ(doc.get_text("a.b"), "2");
  doc.set_value("a.c.d", "\"new\"", JsonKind::Plain);
  EXPECT_EQ(doc.get_text("a.c.d"), "new");
  int index = 0;
  EXPECT_EQ(doc.member_count("a", index), 2);
  EXPECT_EQ(doc.node_path(index), "a");
  EXPECT_EQ(doc.get_text("a"), R"({"b":1})");  // ancestors keep their parsed text
  JsonDocument fresh;
  fresh.set_value("x", "1", JsonKind::Plain);
  EXPECT_EQ(fresh.get_text("x"), "1");
}

TEST(JsonDocument, CopiesAreIndependent) {
  JsonDocument a;
  a.parse(R"({"k":1})");
  JsonDocument b = a;
  a.parse(R"({"k":2})");
  EXPECT_EQ(b.get_text("k"), "1");
  EXPECT_EQ(a.copy_nodes().node_count(), 2);
}

TEST(JsonDocument, Capitalise) {
  EXPECT_EQ(JsonDocument::capitalise("hELLO"), "Hello");
  EXPECT_EQ(JsonDocument::capitalise("\xB0\x41"
                                     "AB"),
            "\xB0\x41"
            "ab");
  EXPECT_EQ(JsonDocument::capitalise(""), "");
}

int g_yields = 0;
void count_yield() {
  ++g_yields;
}

TEST(JsonDocument, LongParsesYieldToTheWindow) {
  std::string json = "[";
  for (int i = 0; i < 200000; ++i) json += "{\"k\":" + std::to_string(i) + "},";
  json += "0]";
  g_yields = 0;
  set_yield_hook(count_yield);
  JsonDocument doc;
  doc.parse(json);
  set_yield_hook(nullptr);
  EXPECT_EQ(doc.get_text("[200000].k"), "199999");
  EXPECT_GT(g_yields, 0);
}

TEST(JsonBadInput, LargeAndHostileTextsFinish) {
  JsonDocument doc;
  doc.parse(std::string(10 << 20, '['));
  EXPECT_EQ(doc.get_text("[1]"), "");
  doc.parse(std::string(10 << 20, '"'));
  doc.parse(std::string(1 << 20, ','));
  std::string nul("{\"a\":\"x\0y\"}", 11);
  doc.parse(nul);
  EXPECT_EQ(doc.get_text("a"), std::string("x\0y", 3));
  doc.parse("{\"a\":\"\xD6");  // a lone lead byte at the end
  EXPECT_EQ(doc.get_text("a"), "");
}

}  // namespace
}  // namespace quorvel
