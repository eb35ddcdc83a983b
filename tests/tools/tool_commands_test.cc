#include "tools/tool_commands.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace quorvel::tool {
namespace {

int run_with(std::vector<std::string> args, Io& io) {
  return run(args, io);
}

TEST(ToolJsonGet, ReadsAPathFromUtf8Input) {
  Io io;
  io.input = "{\"D\":{\"BossName\":\"\xE5\xBC\xA0\xE4\xB8\x89\"}}\r\n";
  EXPECT_EQ(run_with({"json-get", "D.BossName"}, io), 0);
  EXPECT_EQ(io.output, "\xE5\xBC\xA0\xE4\xB8\x89\n");
  Io zero;
  zero.input = "{\"l\":[5,6]}";
  EXPECT_EQ(run_with({"json-get", "--zero-based", "l[1]"}, zero), 0);
  EXPECT_EQ(zero.output, "6\n");
}

// Below the levels the client reads, a path is no member of what it read,
// and the tool says why; a leaf at the same depth is simply missing.
TEST(ToolJsonGet, APathBelowTheLevelsReadSaysSo) {
  const auto nested = [](int levels, const std::string& leaf) {
    std::string text;
    for (int i = 0; i < levels; ++i) text += "{\"a\":";
    return text + leaf + std::string(static_cast<std::size_t>(levels), '}');
  };
  const auto path = [](int levels) {
    std::string p = "a";
    for (int i = 1; i < levels; ++i) p += ".a";
    return p;
  };
  Io deep;
  deep.input = nested(80, "1");
  EXPECT_EQ(run_with({"json-get", path(70)}, deep), 1);
  EXPECT_NE(deep.error.find("nests deeper than the 64 levels"), std::string::npos) << deep.error;
  Io shallow;
  shallow.input = nested(63, "1");
  EXPECT_EQ(run_with({"json-get", path(64)}, shallow), 1);
  EXPECT_NE(shallow.error.find("no member"), std::string::npos);
  Io read;
  read.input = nested(80, "1");
  EXPECT_EQ(run_with({"json-get", path(3)}, read), 0);
}

TEST(ToolJsonGet, OnlyOneTrailingLineBreakIsDropped) {
  Io io;
  io.input = "a\n\n";  // a bare value becomes a one-element array
  EXPECT_EQ(run_with({"json-get", "[1]"}, io), 0);
  EXPECT_EQ(io.output, "a\n\n");
}

TEST(ToolUsage, WrongArgumentsExitWithTwo) {
  Io io;
  EXPECT_EQ(run_with({}, io), 2);
  EXPECT_NE(io.error.find("usage"), std::string::npos);
  EXPECT_EQ(run_with({"json-get"}, io), 2);
  EXPECT_EQ(run_with({"config", "get"}, io), 2);
  EXPECT_EQ(run_with({"config", "set", "k"}, io), 2);
  EXPECT_EQ(run_with({"config", "get", "k", "--file"}, io), 2);
  EXPECT_EQ(run_with({"frobnicate"}, io), 2);
}

TEST(ToolConfig, SetThenGetInANamedFile) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("quorvel-tool-test-" +
                    std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "config.ini").string();
  Io io;
  EXPECT_EQ(run_with({"config", "set", "hostdataid",
                      "\xE4\xB8\xAD"
                      "7",
                      "--file", file},
                     io),
            0);
  EXPECT_EQ(run_with({"config", "--file", file, "get", "HOSTDATAID"}, io), 0);
  EXPECT_EQ(io.output,
            "\xE4\xB8\xAD"
            "7\n");
  Io missing;
  EXPECT_EQ(
      run_with({"config", "set", "k", "v", "--file", (dir / "no" / "x.ini").string()}, missing), 1);
  std::filesystem::remove_all(dir);
}

TEST(ToolCipher, EncipherDecipherAndDecodeAnswer) {
  Io io;
  EXPECT_EQ(run_with({"encipher", "7", "medieval"}, io), 0);
  EXPECT_EQ(io.output, "5+PvoS2HlnrsH014KReKBQ==\n");
  Io back;
  EXPECT_EQ(run_with({"decipher", "7", "5+PvoS2HlnrsH014KReKBQ=="}, back), 0);
  EXPECT_EQ(back.output, "medi\n");
  Io accepted;
  accepted.input = "{\"code\":200,\"data\":\"https://chat.example.test\"}\n";
  EXPECT_EQ(run_with({"decode-answer"}, accepted), 0);
  EXPECT_EQ(accepted.output, "https://chat.example.test\n");
  Io refused;
  refused.input = "{\"code\":\"404\",\"msg\":\"\xE6\x9C\xAA\xE6\x89\xBE\xE5\x88\xB0\"}";
  EXPECT_EQ(run_with({"decode-answer"}, refused), 1);
  EXPECT_EQ(refused.error, "\xE6\x9C\xAA\xE6\x89\xBE\xE5\x88\xB0\n");
  EXPECT_EQ(run_with({"encipher", "7"}, io), 2);
}

// Refusals are not successes: each exits 1 and says why.
TEST(ToolRefusals, FailuresExitWithOneAndSaySo) {
  Io bad_cipher;
  EXPECT_EQ(run_with({"decipher", "7", "not a cipher"}, bad_cipher), 1);
  EXPECT_EQ(bad_cipher.output, "");
  EXPECT_NE(bad_cipher.error, "");
  // An enciphered empty text deciphers to nothing, rightly.
  Io empty_plain;
  ASSERT_EQ(run_with({"encipher", "7", ""}, empty_plain), 0);
  Io back;
  const std::string cipher = empty_plain.output.substr(0, empty_plain.output.size() - 1);
  EXPECT_EQ(run_with({"decipher", "7", cipher}, back), 0);
  EXPECT_EQ(back.output, "\n");
  Io quote_key;
  EXPECT_EQ(run_with({"encipher", "a\"b", "text"}, quote_key), 1);

  Io refused;
  refused.input = "{\"code\":\"500\"}";
  EXPECT_EQ(run_with({"decode-answer"}, refused), 1);
  EXPECT_GT(refused.error.size(), 2u);  // words, not an empty line
  for (const char* no_site :
       {"{\"code\":\"200\",\"data\":\"\"}", "{\"code\":\"200\",\"data\":\"ftp://x\"}"}) {
    Io io;
    io.input = no_site;
    EXPECT_EQ(run_with({"decode-answer"}, io), 1) << no_site;
    EXPECT_GT(io.error.size(), 2u);
  }

  Io missing, empty_value;
  missing.input = empty_value.input = "{\"a\":\"\",\"b\":{\"c\":1}}";
  EXPECT_EQ(run_with({"json-get", "x.y"}, missing), 1);
  EXPECT_NE(missing.error, "");
  EXPECT_EQ(run_with({"json-get", "a"}, empty_value), 0);
  EXPECT_EQ(empty_value.output, "\n");

  Io method;
  EXPECT_EQ(run_with({"http", "--method", "9", "http://127.0.0.1/"}, method), 2);
  EXPECT_EQ(run_with({"http", "--method", "POST", "http://127.0.0.1/"}, method), 2);
}

TEST(ToolCipher, TextsCanComeFromStandardInput) {
  Io enciphered;
  enciphered.input = "medieval\n";
  EXPECT_EQ(run_with({"encipher", "7", "-"}, enciphered), 0);
  EXPECT_EQ(enciphered.output, "5+PvoS2HlnrsH014KReKBQ==\n");
  Io deciphered;
  deciphered.input = enciphered.output;
  EXPECT_EQ(run_with({"decipher", "7", "-"}, deciphered), 0);
  EXPECT_EQ(deciphered.output, "medi\n");
}

TEST(ToolHttp, WrongArgumentsAndFailedRequests) {
  Io io;
  EXPECT_EQ(run_with({"http"}, io), 2);
  EXPECT_EQ(run_with({"http", "--timeout"}, io), 2);
  EXPECT_EQ(run_with({"http", "--bogus", "http://127.0.0.1/"}, io), 2);
  // Each --header is one line: a line break inside is refused before
  // anything is sent (the address would refuse to connect otherwise).
  for (const char* line : {"X-A: b\r\nHost: evil.example", "X-A: b\nHost: e", "X-A: b\r"}) {
    Io smuggled;
    EXPECT_EQ(run_with({"http", "--header", line, "http://127.0.0.1:9/"}, smuggled), 2) << line;
    EXPECT_NE(smuggled.error.find("usage"), std::string::npos);
  }
  Io failed;
  EXPECT_EQ(run_with({"http", "no-scheme"}, failed), 1);
  EXPECT_EQ(failed.output, "");
  EXPECT_NE(failed.error, "");
}

}  // namespace
}  // namespace quorvel::tool
