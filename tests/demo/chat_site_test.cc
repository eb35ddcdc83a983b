// The chat site's state and the notice payloads it hands the page.
#include "demo/chat_site.h"

#include <gtest/gtest.h>

#include "binding/payload_cipher.h"
#include "data/json_document.h"

namespace quorvel::demo {
namespace {

TEST(DemoChatSite, PayloadFieldsDecipherToTheMessage) {
  ChatSite site;
  const VisitorMessage message{"v42", "杭州访客", "你好 \"引号\" \\ 😀"};
  JsonDocument payload;
  payload.parse(from_utf8(site.notice_payload(message)));
  EXPECT_EQ(to_utf8(payload.get_text("T")), "msg");
  EXPECT_EQ(to_utf8(payload.get_text("D.FromId")), "v42");
  const Text key = payload.get_text("D.BossId");
  EXPECT_EQ(to_utf8(key), site.agent().boss_id);
  EXPECT_EQ(to_utf8(decipher_payload(payload.get_text("D.BossName"), key)), site.agent().boss_name);
  EXPECT_EQ(to_utf8(decipher_payload(payload.get_text("D.Fnick"), key)), "杭州访客");
  EXPECT_EQ(to_utf8(decipher_payload(payload.get_text("D.Content"), key)), message.text);
  // The client removes every backslash before reading the payload: there
  // must be none to lose.
  EXPECT_EQ(site.notice_payload(message).find('\\'), std::string::npos);
}

TEST(DemoChatSite, UnreadCountsAndEvents) {
  ChatSite site;
  std::uint64_t cursor = site.event_cursor();
  site.visitor_message({"v1", "A", "one"});
  site.visitor_message({"v2", "B", "two"});
  EXPECT_EQ(site.unread(), 2);
  site.mark_read("v1");
  EXPECT_EQ(site.unread(), 1);
  site.set_unread(7);
  EXPECT_EQ(site.unread(), 7);
  site.page_log("settitle=>X");
  const auto events = site.wait_events(cursor, std::chrono::milliseconds(0));
  ASSERT_EQ(events.size(), 5u);
  EXPECT_EQ(events[0].name, "message");
  EXPECT_NE(events[0].data.find("\"unread\":1"), std::string::npos);
  EXPECT_EQ(events[2].data, "{\"unread\":1}");
  EXPECT_EQ(events[3].data, "{\"unread\":7}");
  EXPECT_EQ(events[4].data, "{\"text\":\"settitle=>X\"}");
  EXPECT_TRUE(site.wait_events(cursor, std::chrono::milliseconds(0)).empty());
}

TEST(DemoChatSite, RepliesAreKeptInOrderAndQuotedSafely) {
  ChatSite site;
  site.record_reply({"第一 'a' \"b\" \\c", "v1", "9001"});
  site.record_reply({"second\nline", "v2", "9001"});
  const auto replies = site.replies();
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0].text, "第一 'a' \"b\" \\c");
  EXPECT_EQ(replies[1].from_id, "v2");
  EXPECT_EQ(json_quote("a\"b\\c\nd\x01"), "\"a\\\"b\\\\c\\u000ad\\u0001\"");
  JsonDocument state;
  state.parse(from_utf8(site.state_json()));
  EXPECT_EQ(to_utf8(state.get_text("agent")), site.agent().agent_name);
}

TEST(DemoChatSite, RepeatedLogsCarryTheirRate) {
  ChatSite site;
  std::uint64_t cursor = site.event_cursor();
  site.page_log("x\"y", 10000, 500);
  const auto events = site.wait_events(cursor, std::chrono::milliseconds(0));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].data, "{\"text\":\"x\\\"y\",\"repeat\":10000,\"perSecond\":500}");
}

TEST(DemoChatSite, TimingKeepsLoadAndConsoleTimesApart) {
  ChatSite site;
  EXPECT_EQ(site.timing_json(), "{}");
  site.record_console_time("170");
  EXPECT_EQ(site.timing_json(), "{\"console\":\"170\"}");
  site.count_page_load();
  site.record_timing("100", "120", "1075x521");
  site.count_page_load();  // a later load without timing yet
  EXPECT_EQ(site.timing_json(), "{\"load\":\"100\",\"paint\":\"120\",\"view\":\"1075x521\",\"loads\":1,"
                                "\"console\":\"170\"}");
}

}  // namespace
}  // namespace quorvel::demo
