// The demo directory: what it answers to well-formed and malformed lookups,
// read back the way the client reads answers.
#include "demo/directory_service.h"

#include <gtest/gtest.h>

#include "binding/directory_answer.h"

namespace quorvel::demo {
namespace {

struct Decoded {
  bool accepted = false;
  std::string site;     // UTF-8
  std::string refusal;  // UTF-8
};

Decoded decode(const std::string& answer) {
  const DirectoryAnswer decoded = decode_directory_answer(from_utf8(answer));
  Decoded out;
  out.accepted = decoded.accepted();
  out.site = to_utf8(decoded.site_address);
  out.refusal = to_utf8(refusal_text(decoded));
  return out;
}

DirectoryService service() {
  return DirectoryService("8866", "http://127.0.0.1:18080");
}

TEST(DemoDirectory, KnownNumberGivesTheSiteInBothAnswerForms) {
  DirectoryService directory = service();
  const DirectoryReply first = directory.answer(lookup_target("8866", "7"));
  const DirectoryReply second = directory.answer(lookup_target("8866", "7"));
  EXPECT_EQ(first.status, 200);
  EXPECT_NE(first.body.front(), '"');
  EXPECT_EQ(second.body.front(), '"');
  EXPECT_EQ(second.body.back(), '"');
  for (const auto* reply : {&first, &second}) {
    const Decoded decoded = decode(reply->body);
    EXPECT_TRUE(decoded.accepted);
    EXPECT_EQ(decoded.site, "http://127.0.0.1:18080");
  }
  // A key text of the directory's own, new for each answer.
  const std::string first_key = first.body.substr(0, first.body.find(":@|"));
  const std::string second_key = second.body.substr(1, second.body.find(":@|") - 1);
  EXPECT_FALSE(first_key.empty());
  EXPECT_NE(first_key, second_key);
}

TEST(DemoDirectory, RawQueryKeepsBase64Characters) {
  // Among many numbers some cipher texts hold "+", "/" and "=" padding; a
  // query parser would have broken those.
  bool plus = false, slash = false;
  for (int n = 0; n < 200 && !(plus && slash); ++n) {
    const std::string number = std::to_string(n);
    const std::string target = lookup_target(number, "3");
    plus |= target.find('+') != std::string::npos;
    slash |= target.find('/', 20) != std::string::npos;
    DirectoryService directory(number, "http://site");
    EXPECT_EQ(decode(directory.answer(target).body).site, "http://site") << target;
  }
  EXPECT_TRUE(plus);
  EXPECT_TRUE(slash);
}

TEST(DemoDirectory, EscapedSeparatorAndPaddingAreDecoded) {
  // The Windows HTTP service escapes "|" (and may escape "="), as a
  // browser would.
  std::string target = lookup_target("8866", "7");
  target.replace(target.find(":@|"), 3, ":@%7c");
  while (target.back() == '=') target.replace(target.size() - 1, 1, "%3D");
  DirectoryService directory("8866", "http://site");
  EXPECT_EQ(decode(directory.answer(target).body).site, "http://site") << target;
}

TEST(DemoDirectory, RefusalsCarryAChineseMessage) {
  DirectoryService directory = service();
  const Decoded unknown = decode(directory.answer(lookup_target("1234", "7")).body);
  EXPECT_FALSE(unknown.accepted);
  EXPECT_EQ(unknown.refusal, "服务器编号不存在，请核对后重新输入");
  for (const std::string& target : std::vector<std::string>{
           "/api/domaincheckid", "/api/domaincheckid?data=", "/api/domaincheckid?data=abc",
           "/api/domaincheckid?data=7:@|%%%not-base64", "/api/domaincheckid?data=7:@|AAAA",
           "/api/domaincheckid?data=:@|" + std::string(1 << 20, 'A')}) {
    const DirectoryReply reply = directory.answer(target);
    EXPECT_EQ(reply.status, 200);
    const Decoded decoded = decode(reply.body);
    EXPECT_FALSE(decoded.accepted) << target.substr(0, 60);
    EXPECT_FALSE(decoded.refusal.empty()) << target.substr(0, 60);
  }
  EXPECT_EQ(directory.answer("/other").status, 404);
  EXPECT_EQ(directory.answer("").status, 404);
}

}  // namespace
}  // namespace quorvel::demo
