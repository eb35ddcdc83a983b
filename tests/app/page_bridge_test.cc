// The page's messages, the notice window and the reply, against the fake
// window layer and a fake view.
#include "app/page_bridge.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/fake_platform.h"
#include "base/yield.h"
#include "binding/payload_cipher.h"

namespace quorvel::app {
namespace {

using app::Form;
using app::Property;
using app::TextProperty;
using app::fake::World;

Text gb(const char* utf8) {
  return from_utf8(utf8);
}

const Text kContent = gb("标签content");
const Text kReply = gb("编辑框1");
const Text kCountdown = gb("透明标签关闭计时");
const Text kTimer = gb("时钟1");

// A started, bound client whose view opened: the bridge is registered.
struct Bound : World {
  Bound() {
    settings.values["hostdata"] = "{\"code\":\"200\",\"data\":\"http://s\"}";
    client.start();
    view.commit(view.opened.back());
  }
  void say(std::string_view text) { view.events->console_message(text); }
  Text caption(Form form = Form::Main) { return ui.get_text(form, {}, TextProperty::Caption); }
  Text notice_text() { return ui.get_text(Form::Notice, kContent, TextProperty::Text); }
  bool notice_shown() { return ui.get(Form::Notice, {}, Property::Visible) != 0; }
};

Text payload(const char* from, const char* nick_utf8, const char* text_utf8) {
  const Text key = "9001";
  return "{\"T\":\"msg\",\"D\":{\"FromId\":\"" + Text(from) + "\",\"BossId\":\"9001\"," +
         "\"BossName\":\"" + encipher_payload(gb("演示客服"), key) + "\",\"Fnick\":\"" +
         encipher_payload(gb(nick_utf8), key) + "\",\"Content\":\"" +
         encipher_payload(gb(text_utf8), key) + "\"}}";
}
Text message(const char* from, const char* nick, const char* text) {
  return "newmsg=>" + payload(from, nick, text) + "<=";
}

TEST(PageBridge, FlagScriptAfterEveryLoad) {
  Bound w;
  ASSERT_NE(w.view.events, nullptr);
  w.view.events->page_loaded("http://s/service/login");
  w.view.events->page_loaded("http://s/service/login");
  EXPECT_EQ(w.view.scripts, std::vector<Text>(2, "window.isWindow=true;vueapp.screenshot=true;"));
}

TEST(PageBridge, UnreadCountSetsTheCaptionFromTheStoredTitle) {
  Bound w;
  w.say("newmsgnum=>3");
  EXPECT_EQ(w.client.unread_count(), 3);
  EXPECT_EQ(w.caption(), gb("Quorvel在线客服  新消息【3】"));
  w.say("log: newmsgnum=>1 newmsgnum=>7 extra");
  EXPECT_EQ(w.client.unread_count(), 7);
  w.ui.tray.clear();
  for (const char* zero : {"newmsgnum=>0", "newmsgnum=>-1", "newmsgnum=>abc", "newmsgnum=>"}) {
    w.say(zero);
    EXPECT_LE(w.client.unread_count(), 0) << zero;
    EXPECT_EQ(w.caption(), gb("Quorvel在线客服"));
  }
  // The tray is set once: what repeats changes nothing.
  ASSERT_EQ(w.ui.tray.size(), 1u);
  EXPECT_EQ(w.ui.tray[0], std::make_pair(app::TrayPicture::WindowIcon, gb("Quorvel在线客服")));
  // A count text is never a notice, even with the other marker in it.
  w.say("newmsgnum=>2 newmsg=>" + payload("v1", "a", "b") + "<=");
  EXPECT_FALSE(w.notice_shown());
}

// A flood of counts (a broken page logs them on every frame) sets the
// caption only when it changes.
TEST(PageBridge, CaptionsChangeOnlyWhenTheyDiffer) {
  Bound w;
  const int before = w.ui.caption_sets;
  for (int i = 0; i < 1000; ++i) w.say("newmsgnum=>3");
  EXPECT_EQ(w.ui.caption_sets, before + 1);
  w.say("newmsgnum=>100000");
  EXPECT_EQ(w.caption(), gb("Quorvel在线客服  新消息【99999+】"));
  w.say("newmsgnum=>99999");
  EXPECT_EQ(w.caption(), gb("Quorvel在线客服  新消息【99999】"));
  // A long title is cut for display, the count stays visible.
  w.say("settitle=>" + Text(300, 'x'));
  w.say("newmsgnum=>7");
  EXPECT_EQ(w.caption(), Text(248, 'x') + gb("  新消息【7】"));
  std::size_t characters = 0;
  for (std::size_t i = 0; i < w.caption().size(); i += char_length_at(w.caption(), i)) ++characters;
  EXPECT_EQ(characters, 256u);
  EXPECT_EQ(shown_text(gb("中文字"), 2), gb("中文"));
}

TEST(PageBridge, TitlesScreenshotsAndTheirOrder) {
  Bound w;
  w.say("settitle=>X");
  EXPECT_EQ(w.caption(), "X");
  EXPECT_EQ(w.ui.get_text(Form::Main, {}, TextProperty::Tag), "X");
  w.say("newmsgnum=>2");
  EXPECT_EQ(w.caption(), gb("X  新消息【2】"));
  w.say("screenshot=> and settitle=>Y");
  EXPECT_EQ(w.process.launches, std::vector<Text>{"/opt/q/config/QQSnapShot"});
  EXPECT_EQ(w.ui.get_text(Form::Main, {}, TextProperty::Tag), "X");
  w.clock.now += 2000;
  w.say("screenshot=>");
  EXPECT_EQ(w.process.launches.size(), 2u);
  w.say("settitle=>");
  EXPECT_EQ(w.caption(), "");
  w.say("nothing known");
  EXPECT_EQ(w.caption(), "");
}

// A page that keeps asking (1,000 lines in a second) gets one tool: again
// only once the last start is 2 s old and its process has ended.
TEST(PageBridge, TheScreenshotToolStartsAtMostOnceEveryTwoSeconds) {
  Bound w;
  for (int i = 0; i < 1000; ++i) w.say("screenshot=>");
  EXPECT_EQ(w.process.launches.size(), 1u);
  w.process.still_running.insert(1);
  w.clock.now += 5000;
  w.say("screenshot=>");
  EXPECT_EQ(w.process.launches.size(), 1u);
  w.process.still_running.clear();
  w.say("screenshot=>");
  EXPECT_EQ(w.process.launches.size(), 2u);
  w.clock.now += 1999;
  w.say("screenshot=>");
  EXPECT_EQ(w.process.launches.size(), 2u);
}

TEST(PageBridge, MessagePayloadBoundaries) {
  Bound w;
  w.say("newmsg=>" + payload("v1", "a", "b"));  // no "<=": empty payload
  EXPECT_FALSE(w.notice_shown());
  w.say("newmsg=>{\"x\":1}<=");  // no T
  EXPECT_FALSE(w.notice_shown());
  w.say("newmsg=>not json at all<=");
  EXPECT_FALSE(w.notice_shown());
  w.say(message("v1", "a", "first") + "B<=");
  EXPECT_TRUE(w.notice_shown());
  EXPECT_EQ(w.notice_text(), gb("=>:  first"));
}

TEST(Notice, FirstNoticeCaptionTextCountdownAndPlace) {
  Bound w;
  w.say(message("v1", "北京访客", "你好"));
  EXPECT_TRUE(w.notice_shown());
  EXPECT_EQ(w.ui.get(Form::Notice, {}, Property::TopMost), 1);
  EXPECT_EQ(w.caption(Form::Notice), gb("来自【演示客服：北京访客】的消息"));
  EXPECT_EQ(w.notice_text(), gb("=>:  你好"));
  // One line: label 14 high, reply box at 4 + 14 + 10, window 28 + 24 + 30.
  EXPECT_EQ(w.ui.get(Form::Notice, kContent, Property::Height), 14);
  EXPECT_EQ(w.ui.get(Form::Notice, kReply, Property::Top), 28);
  EXPECT_EQ(w.ui.get(Form::Notice, gb("标签回复"), Property::Top), 28);
  EXPECT_EQ(w.ui.get(Form::Notice, {}, Property::Height), 82);
  EXPECT_EQ(w.ui.get(Form::Notice, {}, Property::Left), 1920 - 10 - 380);
  // Above the 40-pixel taskbar with its frame, not at the screen's 50.
  EXPECT_EQ(w.ui.get(Form::Notice, {}, Property::Top), 1040 - Notice::kFrameAllowance - 82);
  for (int expected = 17; expected >= 1; --expected) {
    w.client.on_timer(Form::Notice, kTimer);
    EXPECT_EQ(w.ui.get_text(Form::Notice, kCountdown, TextProperty::Text),
              std::to_string(expected));
    EXPECT_TRUE(w.notice_shown());
  }
  w.client.on_timer(Form::Notice, kTimer);
  EXPECT_FALSE(w.notice_shown());
  w.client.on_timer(Form::Notice, kTimer);  // counts on below zero
  EXPECT_EQ(w.ui.get_text(Form::Notice, kCountdown, TextProperty::Text), "-1");
}

TEST(Notice, SameSenderAppendsOthersAreCountedOncePerRun) {
  Bound w;
  w.say(message("A", "a", "one"));
  for (int i = 0; i < 5; ++i) w.client.on_timer(Form::Notice, kTimer);
  w.say(message("A", "a", "two"));
  EXPECT_EQ(w.notice_text(), gb("=>:  one\r\n\r\n=>:  two"));
  EXPECT_EQ(w.ui.get(Form::Notice, kContent, Property::Height), (24 / 59 + 3) * 14);
  EXPECT_EQ(w.client.notice_countdown(), 18);
  w.say(message("B", "b", "hello"));
  const Text title = gb("来自【演示客服：a】的消息");
  EXPECT_EQ(w.caption(Form::Notice), title + gb(" 还有1位也有新消息！"));
  EXPECT_EQ(w.notice_text(), gb("=>:  one\r\n\r\n=>:  two"));
  w.say(message("B", "b", "again"));
  EXPECT_EQ(w.caption(Form::Notice), title + gb(" 还有1位也有新消息！"));
  // Hidden, then a new notice from C: B was counted in this run already.
  EXPECT_FALSE(w.client.on_close_request(Form::Notice));
  w.say(message("C", "c", "hi"));
  w.say(message("B", "b", "still here"));
  EXPECT_EQ(w.caption(Form::Notice), gb("来自【演示客服：c】的消息"));
}

TEST(Notice, HoldKeepsItAndEnterRepliesToTheSenderShown) {
  Bound w;
  w.say(message("A", "a", "question"));
  w.client.on_press(Form::Notice, kReply);
  w.say(message("A", "a", "more"));
  EXPECT_EQ(w.client.notice_countdown(), 1500);
  // B's message is counted in the caption; the box still answers A, whose
  // words the agent is reading.
  w.say(message("B", "b", "other"));
  w.ui.set_text(Form::Notice, kReply, TextProperty::Text, gb("好的 it's a\\b \"q\""));
  w.client.on_key(Form::Notice, kReply, 65);
  EXPECT_TRUE(w.view.scripts.empty());
  w.client.on_key(Form::Notice, kReply, 13);
  ASSERT_EQ(w.view.scripts.size(), 1u);
  EXPECT_EQ(
      w.view.scripts[0],
      gb("vueapp.sendInputingStrNowPc('好的 it\\'s a\\\\b \\\"q\\\"','text','msg','A','9001');"));
  EXPECT_EQ(w.ui.get_text(Form::Notice, kReply, TextProperty::Text), "");
  EXPECT_NE(w.notice_text().find(gb("\r\n\r\n<=:  好的 it's")), Text::npos);
  w.client.on_key(Form::Notice, kReply, 13);  // an empty box still sends
  EXPECT_EQ(w.view.scripts.back(), "vueapp.sendInputingStrNowPc('','text','msg','A','9001');");
  // The next notice, B's, answers B.
  EXPECT_FALSE(w.client.on_close_request(Form::Notice));
  w.say(message("B", "b", "again"));
  w.client.on_key(Form::Notice, kReply, 13);
  EXPECT_EQ(w.view.scripts.back(), "vueapp.sendInputingStrNowPc('','text','msg','B','9001');");
}

// A reply typed while a long message of another sender is parsed (the
// parse lets the window events run) reads no half-built document.
TEST(Notice, TypingIntoTheReplyBoxHoldsTheNotice) {
  Bound w;
  w.say(message("A", "a", "question"));
  for (int i = 0; i < 17; ++i) w.client.on_timer(Form::Notice, kTimer);
  w.client.on_key(Form::Notice, kReply, 'o');
  EXPECT_EQ(w.client.notice_countdown(), 1500);
  for (int i = 0; i < 20; ++i) w.client.on_timer(Form::Notice, kTimer);
  EXPECT_TRUE(w.notice_shown());
}

TEST(Notice, AReplyDuringAParseGoesToTheSenderShown) {
  static Bound* world = nullptr;
  Bound w;
  world = &w;
  w.say(message("A", "a", "question"));
  w.ui.set_text(Form::Notice, kReply, TextProperty::Text, "ok");
  static int calls = 0;
  calls = 0;
  set_yield_hook([] {
    if (calls++ == 0) world->client.on_key(Form::Notice, kReply, 13);
  });
  Text big = "{\"T\":\"msg\",\"D\":{\"FromId\":\"B\",\"BossId\":\"77\"";
  for (int i = 0; i < 100000; ++i) big += ",\"k" + std::to_string(i) + "\":1";
  w.say("newmsg=>" + big + "}}<=");
  set_yield_hook(nullptr);
  ASSERT_GE(calls, 1);
  ASSERT_EQ(w.view.scripts.size(), 1u);
  EXPECT_EQ(w.view.scripts[0], "vueapp.sendInputingStrNowPc('ok','text','msg','A','9001');");
}

TEST(Notice, AReplyWithoutASenderIsNotSentAndSaysSo) {
  Bound w;
  w.say(R"(newmsg=>{"T":"msg","D":{"FromId":"","BossId":"1","Content":")" +
        encipher_payload("x", "1") + "\"}}<=");
  ASSERT_TRUE(w.notice_shown());
  w.ui.set_text(Form::Notice, kReply, TextProperty::Text, "hello");
  w.client.on_key(Form::Notice, kReply, 13);
  EXPECT_TRUE(w.view.scripts.empty());
  EXPECT_NE(w.notice_text().find(gb("回复未发出")), Text::npos);
  EXPECT_EQ(w.ui.get_text(Form::Notice, kReply, TextProperty::Text), "hello");
}

TEST(Notice, APayloadWithNoSenderAndNoTextShowsNothing) {
  Bound w;
  for (const char* empty : {R"(newmsg=>{"T":"msg"}<=)", R"(newmsg=>{"T":"msg","D":"x"}<=)",
                            R"(newmsg=>{"T":"msg","D":{"FromId":"","Content":""}}<=)"}) {
    w.say(empty);
    EXPECT_FALSE(w.notice_shown()) << empty;
  }
}

// Placed and counting before it maps: never first at the screen's centre,
// never with an earlier notice's countdown.
TEST(Notice, PlacedAndCountingBeforeItShows) {
  Bound w;
  for (int i = 0; i < 22; ++i) w.client.on_timer(Form::Notice, kTimer);
  w.ui.sets.clear();
  w.say(message("A", "a", "x"));
  EXPECT_EQ(w.ui.get_text(Form::Notice, kCountdown, TextProperty::Text), "18");
  const auto shown = std::find_if(w.ui.sets.begin(), w.ui.sets.end(), [](const auto& s) {
    return s.form == Form::Notice && s.control.empty() && s.property == Property::Visible &&
           s.value == 1;
  });
  ASSERT_NE(shown, w.ui.sets.end());
  for (const Property p : {Property::Left, Property::Top, Property::Height}) {
    EXPECT_NE(std::find_if(w.ui.sets.begin(), shown,
                           [p](const auto& s) {
                             return s.form == Form::Notice && s.control.empty() && s.property == p;
                           }),
              shown);
  }
}

TEST(Notice, LayoutFormulaAndTheDoubleClick) {
  EXPECT_EQ(app::notice_label_height(Text(120, 'y')), 42);
  EXPECT_EQ(app::notice_label_height("a\r\n\r\nb"), 3 * 14);
  EXPECT_EQ(app::notice_label_height("a\r\n"), 14 * 1);
  EXPECT_EQ(app::notice_label_height(""), 0);
  Bound w;
  w.say(message("A", "a", "x"));
  EXPECT_FALSE(w.client.on_close_request(Form::Main));
  w.client.on_double_click(Form::Notice, kContent);
  EXPECT_EQ(w.ui.get(Form::Main, {}, Property::Visible), 1);
}

// The sizes are the client area's: the frame around it must stay clear of
// a taskbar, wherever it is; without one the screen's margins hold.
TEST(Notice, TheWholeNoticeEndsInsideTheWorkArea) {
  Bound bare;
  bare.ui.screens = {{{0, 0, 1920, 1080}, {0, 0, 1920, 1080}}};
  bare.say(message("A", "a", "x"));
  EXPECT_EQ(bare.ui.get(Form::Notice, {}, Property::Top), 1080 - 50 - 82);
  EXPECT_EQ(bare.ui.get(Form::Notice, {}, Property::Left), 1920 - 10 - 380);
  Bound tall;  // a taskbar of 120 pixels at the bottom, one of 60 at the right
  tall.ui.screens = {{{0, 0, 1920, 1080}, {0, 0, 1860, 960}}};
  tall.say(message("A", "a", "x"));
  const int top = tall.ui.get(Form::Notice, {}, Property::Top);
  EXPECT_LE(top + 82 + Notice::kFrameAllowance, 960);
  EXPECT_LE(tall.ui.get(Form::Notice, {}, Property::Left) + 380 + Notice::kFrameSide, 1860);
  // A sender who keeps writing fills the work area, not the screen.
  for (int i = 0; i < 300; ++i) tall.say(message("A", "a", ("line " + std::to_string(i)).c_str()));
  EXPECT_GE(tall.ui.get(Form::Notice, {}, Property::Top), 0);
  EXPECT_LE(tall.ui.get(Form::Notice, {}, Property::Top) +
                tall.ui.get(Form::Notice, {}, Property::Height) + Notice::kFrameAllowance,
            960);
}

TEST(Notice, ASenderWhoKeepsWritingNeverGrowsItPastTheScreen) {
  Bound w;
  for (int i = 0; i < 2000; ++i) {
    w.say(message("A", "a", ("line " + std::to_string(i)).c_str()));
  }
  EXPECT_GE(w.ui.get(Form::Notice, {}, Property::Top), 0);
  const Text text = w.notice_text();
  EXPECT_EQ(text.rfind(gb("=>:  line 1999")), text.size() - Text(gb("=>:  line 1999")).size());
  EXPECT_EQ(text.find(gb("=>:  line 1998")), text.size() - 2 * 14 - 4);
  EXPECT_EQ(text.find("line 0\r"), Text::npos);
  EXPECT_EQ(text.substr(0, 5), "=>:  ");  // whole messages are dropped
  // One message too long for the screen keeps its head.
  EXPECT_FALSE(w.client.on_close_request(Form::Notice));
  w.say(message("B", "b", std::string(1 << 20, 'z').c_str()));
  EXPECT_GE(w.ui.get(Form::Notice, {}, Property::Top), 0);
  EXPECT_GT(w.notice_text().size(), 3000u);
  EXPECT_EQ(w.notice_text().substr(0, 8), "=>:  zzz");
}

// Messages that hold blank lines of their own are still dropped whole.
TEST(Notice, TrimmingKeepsMessageBoundaries) {
  Bound w;
  for (int i = 0; i < 500; ++i) {
    w.say(message("A", "a", ("head " + std::to_string(i) + "\r\n\r\ntail").c_str()));
  }
  const Text text = w.notice_text();
  EXPECT_EQ(text.substr(0, 10), "=>:  head ");
  EXPECT_EQ(text.substr(text.size() - 4), "tail");
}

TEST(ScriptLiteral, NothingRunsAsScript) {
  EXPECT_EQ(app::script_literal("a'b\\c\"d\r\n\x01"), "'a\\'b\\\\c\\\"d\\x0d\\x0a\\x01'");
  EXPECT_EQ(app::script_literal("\x81\x36\xA6\x35|\x81\x36\xA6\x36"), "'\\u2028|\\u2029'");
  EXPECT_EQ(app::script_literal(gb("中文</script>")), gb("'中文</script>'"));
}

TEST(PageBridge, HugeAndBrokenMessagesEndQuietly) {
  Bound w;
  const Text title(100 * 1024, 't');
  w.say("settitle=>" + title);
  EXPECT_EQ(w.caption(), Text(256, 't'));
  EXPECT_EQ(w.ui.get_text(Form::Main, {}, TextProperty::Tag), title);
  w.say(Text(1 << 20, 'x') + "newmsgnum=>4");
  EXPECT_EQ(w.client.unread_count(), 4);
  w.say(
      "newmsg=>{\"T\":\"msg\",\"D\":{\"FromId\":\"A\",\"BossId\":\"1\","
      "\"Content\":\"not a cipher\",\"Fnick\":\"@@@\"}}<=");
  EXPECT_TRUE(w.notice_shown());
  EXPECT_EQ(w.notice_text(), "=>:  ");
  for (int i = 0; i < 10000; ++i) w.say("newmsgnum=>" + std::to_string(i));
  EXPECT_EQ(w.client.unread_count(), 9999);
}

TEST(PageBridge, MessagesDuringAParseWaitTheirTurn) {
  static Bound* world = nullptr;
  Bound w;
  world = &w;
  static int nested = 0;
  nested = 0;
  set_yield_hook([] {
    if (nested++ == 0) world->say("newmsgnum=>5");
  });
  Text big = "{\"T\":\"msg\",\"D\":{\"FromId\":\"A\"";
  for (int i = 0; i < 100000; ++i) big += ",\"k" + std::to_string(i) + "\":1";
  w.say("newmsg=>" + big + "}}<=");
  set_yield_hook(nullptr);
  EXPECT_GE(nested, 1);
  EXPECT_EQ(w.client.unread_count(), 5);
  EXPECT_TRUE(w.notice_shown());
}

}  // namespace
}  // namespace quorvel::app
