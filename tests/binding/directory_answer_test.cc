#include "binding/directory_answer.h"

#include <gtest/gtest.h>

#include "binding/payload_cipher.h"

namespace quorvel {
namespace {

const Text kAccepted = R"({"code":"200","msg":"ok","data":"https://chat.example.test"})";

TEST(DirectoryAnswer, EncipheredAndWrappedInQuotes) {
  const Text answer = "\"K9:@|" + encipher_payload(kAccepted, "K9") + "\"";
  const DirectoryAnswer d = decode_directory_answer(answer);
  EXPECT_TRUE(d.accepted());
  EXPECT_EQ(d.site_address, "https://chat.example.test");
}

TEST(DirectoryAnswer, TwoSeparatorsUseTheFirstKeyAndTheLastCipher) {
  const DirectoryAnswer d =
      decode_directory_answer("K9:@|junk:@|" + encipher_payload(kAccepted, "K9"));
  EXPECT_TRUE(d.accepted());
  EXPECT_EQ(d.site_address, "https://chat.example.test");
}

TEST(DirectoryAnswer, PlainJsonWithANumericCode) {
  const DirectoryAnswer d = decode_directory_answer(R"({"code":200,"data":"http://S"})");
  EXPECT_TRUE(d.accepted());
  EXPECT_EQ(d.site_address, "http://S");
  EXPECT_TRUE(decode_directory_answer(R"({"code":200,"data":"HTTPS://S:8443/x"})").accepted());
}

TEST(DirectoryAnswer, RefusalCarriesTheMessage) {
  const DirectoryAnswer d =
      decode_directory_answer("{\"code\":\"201\",\"msg\":\"\xCE\xB4\xD5\xD2\xB5\xBD\"}");
  EXPECT_EQ(d.verdict, AnswerVerdict::Refused);
  EXPECT_TRUE(d.site_address.empty());
  EXPECT_EQ(refusal_text(d), "\xCE\xB4\xD5\xD2\xB5\xBD");
  EXPECT_EQ(refusal_explanation(d), "\xCE\xB4\xD5\xD2\xB5\xBD");
}

TEST(DirectoryAnswer, WrongKeyOrGarbageIsARefusalWithAnEmptyText) {
  for (const Text& answer : {"K8:@|" + encipher_payload(kAccepted, "K9"), Text("garbage"),
                             Text(":@|:@|:@|"), Text(1 << 20, '{')}) {
    const DirectoryAnswer d = decode_directory_answer(answer);
    EXPECT_EQ(d.verdict, AnswerVerdict::Refused);
    EXPECT_EQ(refusal_text(d), "");
    // Words for a person reading a log, never an empty line.
    EXPECT_FALSE(refusal_explanation(d).empty());
  }
}

// A code of 200 that names no site, or something that is no web address,
// would bind the client to "/service/login" on nothing.
TEST(DirectoryAnswer, AcceptedOnlyWithAWebSiteAddress) {
  for (const char* answer : {R"({"code":"200","data":""})", R"({"code":"200"})"}) {
    const DirectoryAnswer d = decode_directory_answer(answer);
    EXPECT_EQ(d.verdict, AnswerVerdict::NoSite) << answer;
    EXPECT_FALSE(d.accepted());
    EXPECT_TRUE(d.site_address.empty());
    EXPECT_FALSE(refusal_text(d).empty());
  }
  for (const char* answer :
       {R"({"code":"200","data":"site.test"})", R"x({"code":"200","data":"javascript:alert(1)"})x",
        R"({"code":"200","data":"file:///etc/passwd"})", R"({"code":"200","data":{"a":1}})"}) {
    const DirectoryAnswer d = decode_directory_answer(answer);
    EXPECT_EQ(d.verdict, AnswerVerdict::NotWebSite) << answer;
    EXPECT_FALSE(refusal_text(d).empty());
  }
}

TEST(DirectoryAnswer, EmptyAnswerIsNothingToShow) {
  const DirectoryAnswer d = decode_directory_answer("");
  EXPECT_EQ(d.verdict, AnswerVerdict::Empty);
  EXPECT_FALSE(d.accepted());
}

TEST(DirectoryAnswer, PlainJsonContainingTheSeparatorLosesItsQuotes) {
  // The quotes go before the (failing) decipherment, as the rule says.
  EXPECT_FALSE(decode_directory_answer(R"({"code":"200","data":"http://a:@|b"})").accepted());
}

}  // namespace
}  // namespace quorvel
