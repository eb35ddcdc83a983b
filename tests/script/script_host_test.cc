#include "script/script_host.h"

#include <gtest/gtest.h>

#include "binding/payload_cipher.h"

namespace quorvel {
namespace {

TEST(ScriptHost, EvaluatesJScript) {
  ScriptHost host;
  EXPECT_EQ(host.eval("1+2"), "3");
  EXPECT_EQ(host.eval("'a' + 'b'"), "ab");
  EXPECT_EQ(host.eval("undefined"), "");
  EXPECT_EQ(host.eval("\"\xD6\xD0\" + 1"),
            "\xD6\xD0"
            "1");  // Chinese round trip
  EXPECT_TRUE(host.last_error().empty());
}

TEST(ScriptHost, SyntaxErrorsGiveEmptyTextAndAnError) {
  ScriptHost host;
  EXPECT_EQ(host.eval("1 +* 2"), "");
  EXPECT_FALSE(host.last_error().empty());
  EXPECT_FALSE(host.execute_statement("throw new Error('boom')"));
  EXPECT_NE(host.last_error().find("boom"), Text::npos);
  EXPECT_TRUE(host.execute_statement("var x = 5"));
  EXPECT_TRUE(host.last_error().empty());
}

TEST(ScriptHost, CopiesShareStateUntilReset) {
  ScriptHost host;
  host.add_code("function twice(s) { return s + s; } var g = 7;");
  ScriptHost copy = host.object();
  EXPECT_EQ(copy.eval("g"), "7");
  EXPECT_EQ(copy.run("twice", Text("ab")), "abab");
  host.reset();
  EXPECT_EQ(copy.eval("typeof g"), "undefined");
}

TEST(ScriptHost, RunPassesOnlyTheLeadingArguments) {
  ScriptHost host;
  host.add_code("function count() { return arguments.length; }");
  EXPECT_EQ(host.run("count", Text("1"), Text("2"), std::nullopt, Text("4")), "2");
  EXPECT_EQ(host.run("count"), "0");
  EXPECT_EQ(host.run("missing"), "");
  EXPECT_FALSE(host.last_error().empty());
}

TEST(ScriptHost, LanguageSelection) {
  ScriptHost host;
  EXPECT_EQ(host.language(1), "vbs");
  EXPECT_EQ(host.eval("1+2"), "");
  EXPECT_NE(host.last_error().find("JScript"), Text::npos);
  EXPECT_EQ(host.language(7), "vbs");
  EXPECT_EQ(host.language(), "JScript");
  EXPECT_EQ(host.eval("1+2"), "3");
}

TEST(ScriptHost, TimeoutStopsEndlessLoopsAndTheHostStaysUsable) {
  ScriptHost host;
  EXPECT_EQ(host.timeout(), -1);
  EXPECT_EQ(host.timeout(200), 200);
  EXPECT_EQ(host.eval("for(;;){}"), "");
  EXPECT_FALSE(host.last_error().empty());
  EXPECT_EQ(host.eval("40+2"), "42");
}

TEST(ScriptHost, PropertiesReadBack) {
  ScriptHost host;
  EXPECT_EQ(host.state(), 0);
  EXPECT_EQ(host.state(1), 1);
  EXPECT_FALSE(host.allow_ui(false));
  EXPECT_FALSE(host.allow_ui());
  EXPECT_EQ(host.site_hwnd(1234), 1234);
}

// The cipher reads the filled call line natively; the engine must read its
// literals the same way.
TEST(ScriptHost, ReadsTheCipherCallLineAsTheNativeReaderDoes) {
  const char* const texts[] = {"plain",
                               "a\\b\"c",
                               "medieval",
                               "x@code@y",
                               "\xD6\xD0\xCE\xC4",
                               "tab\there",
                               "{\"domainid\":\"10001\"}",
                               "@operation@"};
  const char* const keys[] = {"7", "k\\n", "\xC3\xDC\xD4\xBF", "\\u4e2d\\x41"};
  for (const char* text : texts) {
    for (const char* key : keys) {
      const Text line = cipher_detail::filled_call_line(text, key, false);
      cipher_detail::CallArguments args;
      ASSERT_TRUE(cipher_detail::read_call_line(line, args)) << line;
      ScriptHost host;
      host.add_code("function secret(s, c, o) { return s + '\\u0001' + c; }");
      const Text expected = from_utf16_units(args.text + u"\u0001" + args.key);
      EXPECT_EQ(host.eval(line), expected) << line;
    }
  }
}

}  // namespace
}  // namespace quorvel
