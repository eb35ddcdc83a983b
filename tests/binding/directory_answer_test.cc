#include "binding/directory_answer.h"

#include <gtest/gtest.h>

#include <vector>

#include "binding/payload_cipher.h"

namespace quorvel {
namespace {

struct FakeStore : AnswerStore {
  std::vector<Text> stored;
  void store_answer(std::string_view answer) override { stored.emplace_back(answer); }
};

struct FakeMessages : TimedMessageBox {
  std::vector<Text> shown;
  std::vector<TimedMessage> calls;
  int show_timed_message(const TimedMessage& message) override {
    shown.push_back(message.text);
    calls.push_back(message);
    return 0;
  }
};

class DirectoryAnswer : public testing::Test {
 protected:
  bool decode(std::string_view answer, bool messages = true) {
    return decode_directory_answer(answer, {site_, store_, messages ? &messages_ : nullptr});
  }
  Text site_ = "https://old.example.test";
  FakeStore store_;
  FakeMessages messages_;
};

const Text kAccepted = R"({"code":"200","msg":"ok","data":"https://chat.example.test"})";

TEST_F(DirectoryAnswer, EncipheredAndWrappedInQuotes) {
  const Text answer = "\"K9:@|" + encipher_payload(kAccepted, "K9") + "\"";
  EXPECT_TRUE(decode(answer));
  EXPECT_EQ(site_, "https://chat.example.test");
  ASSERT_EQ(store_.stored.size(), 1u);
  EXPECT_EQ(store_.stored[0], answer);  // stored exactly as received
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(DirectoryAnswer, TwoSeparatorsUseTheFirstKeyAndTheLastCipher) {
  EXPECT_TRUE(decode("K9:@|junk:@|" + encipher_payload(kAccepted, "K9")));
  EXPECT_EQ(site_, "https://chat.example.test");
}

TEST_F(DirectoryAnswer, PlainJsonWithANumericCode) {
  EXPECT_TRUE(decode(R"({"code":200,"data":"S"})"));
  EXPECT_EQ(site_, "S");
}

TEST_F(DirectoryAnswer, RefusalShowsTheMessageAndChangesNothing) {
  EXPECT_FALSE(decode("{\"code\":\"201\",\"msg\":\"\xCE\xB4\xD5\xD2\xB5\xBD\"}"));
  EXPECT_EQ(site_, "https://old.example.test");
  EXPECT_TRUE(store_.stored.empty());
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0], "\xCE\xB4\xD5\xD2\xB5\xBD");
  EXPECT_EQ(messages_.calls[0].caption, "\xD3\xD1\xC7\xE9\xCC\xE1\xD0\xD1");  // 友情提醒
  EXPECT_EQ(messages_.calls[0].timeout_ms, 5000);
  EXPECT_EQ(messages_.calls[0].buttons, 0);
  EXPECT_EQ(messages_.calls[0].owner, 0);
}

TEST_F(DirectoryAnswer, SilentWhenMessagesAreOff) {
  EXPECT_FALSE(decode(R"({"code":"201","msg":"M"})", false));
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(DirectoryAnswer, WrongKeyOrGarbageIsARefusalWithAnEmptyText) {
  EXPECT_FALSE(decode("K8:@|" + encipher_payload(kAccepted, "K9")));
  EXPECT_FALSE(decode("garbage"));
  EXPECT_FALSE(decode(":@|:@|:@|"));
  EXPECT_FALSE(decode(Text(1 << 20, '{')));
  ASSERT_EQ(messages_.shown.size(), 4u);
  EXPECT_EQ(messages_.shown[0], "");
  EXPECT_EQ(site_, "https://old.example.test");
}

TEST_F(DirectoryAnswer, EmptyAnswerIsIgnored) {
  EXPECT_FALSE(decode(""));
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_TRUE(store_.stored.empty());
}

TEST_F(DirectoryAnswer, PlainJsonContainingTheSeparatorLosesItsQuotes) {
  // The quotes go before the (failing) decipherment, as the rule says.
  EXPECT_FALSE(decode(R"({"code":"200","data":"a:@|b"})"));
}

}  // namespace
}  // namespace quorvel
