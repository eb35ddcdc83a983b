// What makes the agent notice a visitor beyond the caption and the tray:
// urgency, sound, quiet, the menu's check items and the session's start,
// against the fake window layer and a recording desktop.
#include "app/attention.h"

#include <gtest/gtest.h>

#include "app/fake_platform.h"
#include "binding/payload_cipher.h"

namespace quorvel::app {
namespace {

using fake::World;

constexpr int kSoundItem = 5;
constexpr int kWithSessionItem = 6;

struct Bound : World {
  Bound() {
    settings.values["hostdata"] = "{\"code\":\"200\",\"data\":\"http://s\"}";
    client.start();
    view.commit(view.opened.back());
  }
  void visitor(const char* from = "v1") {
    const Text key = "9001";
    view.events->console_message(
        "newmsg=>{\"T\":\"msg\",\"D\":{\"FromId\":\"" + Text(from) +
        "\",\"BossId\":\"9001\",\"BossName\":\"" + encipher_payload("a", key) +
        "\",\"Fnick\":\"" + encipher_payload("b", key) + "\",\"Content\":\"" +
        encipher_payload("hello", key) + "\"}}<=");
  }
  void unread(int count) { view.events->console_message("newmsgnum=>" + std::to_string(count)); }
  void seconds(int n) {
    for (int i = 0; i < n; ++i) {
      clock.now += 1000;
      client.on_timer(Form::Main, names().main_timer);
    }
  }
  bool notice_shown() { return ui.get(Form::Notice, {}, Property::Visible) != 0; }
};

TEST(Attention, AMessageWhileTheWindowIsInactiveAsksForIt) {
  Bound w;
  w.visitor();
  EXPECT_TRUE(w.ui.urgent);
  EXPECT_EQ(w.desktop.sounds, 1);
  // Activating the window clears the urgency.
  w.client.on_focus(Form::Main);
  EXPECT_FALSE(w.ui.urgent);
  // While the agent looks at the window, no urgency; the sound still plays.
  w.ui.active_set = true;
  w.visitor();
  EXPECT_FALSE(w.ui.urgent);
  EXPECT_EQ(w.desktop.sounds, 2);
}

TEST(Attention, TheSoundRepeatsEvery30SecondsAtMostTenTimesWhileUnread) {
  Bound w;
  w.unread(2);
  w.visitor();
  EXPECT_EQ(w.desktop.sounds, 1);
  w.seconds(29);
  EXPECT_EQ(w.desktop.sounds, 1);
  w.seconds(1);
  EXPECT_EQ(w.desktop.sounds, 2);
  w.seconds(30 * 20);
  EXPECT_EQ(w.desktop.sounds, 11);
  // A new message starts over; reading the messages stops it.
  w.visitor("v2");
  EXPECT_EQ(w.desktop.sounds, 12);
  w.unread(0);
  w.seconds(60);
  EXPECT_EQ(w.desktop.sounds, 12);
  // So does the agent's looking at the window.
  w.unread(1);
  w.visitor();
  w.ui.active_set = true;
  w.seconds(60);
  EXPECT_EQ(w.desktop.sounds, 13);
}

TEST(Attention, TheSoundItemTurnsItOffAndTheFileKeepsIt) {
  Bound w;
  w.seconds(1);  // the tray and its menu come with the first tick
  EXPECT_TRUE(w.ui.menu_checks.at(kSoundItem));
  EXPECT_FALSE(w.ui.menu_checks.at(kWithSessionItem));
  w.client.on_menu(kSoundItem);
  EXPECT_FALSE(w.ui.menu_checks.at(kSoundItem));
  EXPECT_EQ(w.settings.values["sound"], "0");
  w.visitor();
  EXPECT_EQ(w.desktop.sounds, 0);
  EXPECT_TRUE(w.ui.urgent);  // the rest still asks
  w.client.on_menu(kSoundItem);
  EXPECT_TRUE(w.ui.menu_checks.at(kSoundItem));
  w.visitor("v2");
  EXPECT_EQ(w.desktop.sounds, 1);
}

TEST(Attention, QuietHoldsTheNoticeAndTheSoundBackUntilItEnds) {
  Bound w;
  w.desktop.quiet = true;
  w.unread(1);
  w.visitor();
  EXPECT_FALSE(w.notice_shown());
  EXPECT_EQ(w.desktop.sounds, 0);
  EXPECT_TRUE(w.ui.urgent);
  EXPECT_NE(w.ui.get_text(Form::Main, {}, TextProperty::Caption).find("1"), Text::npos);
  w.seconds(60);
  EXPECT_FALSE(w.notice_shown());
  EXPECT_EQ(w.desktop.sounds, 0);
  // The quiet ends with messages unread: the notice shows.
  w.desktop.quiet = false;
  w.seconds(1);
  EXPECT_TRUE(w.notice_shown());
  // Quiet that ends after the messages were read shows nothing.
  w.ui.set(Form::Notice, {}, Property::Visible, 0);
  w.desktop.quiet = true;
  w.visitor("v2");
  w.unread(0);
  w.desktop.quiet = false;
  w.seconds(1);
  EXPECT_FALSE(w.notice_shown());
}

TEST(Attention, TheSessionItemWritesTheEntryOrSaysWhyNot) {
  Bound w;
  w.client.on_menu(kWithSessionItem);
  EXPECT_TRUE(w.desktop.with_session);
  EXPECT_TRUE(w.ui.menu_checks.at(kWithSessionItem));
  w.client.on_menu(kWithSessionItem);
  EXPECT_FALSE(w.desktop.with_session);
  EXPECT_FALSE(w.ui.menu_checks.at(kWithSessionItem));
  EXPECT_TRUE(w.timed.shown.empty());
  // An entry that cannot be written: the check stays as it is, and the
  // agent is told where.
  w.desktop.writable = false;
  w.client.on_menu(kWithSessionItem);
  EXPECT_FALSE(w.ui.menu_checks.at(kWithSessionItem));
  ASSERT_EQ(w.timed.shown.size(), 1u);
  EXPECT_NE(w.timed.shown[0].text.find("/home/a/.config/autostart/q.desktop"), Text::npos);
  EXPECT_NE(w.timed.shown[0].text.find(from_utf8("开机自动启动设置失败")), Text::npos);
}

TEST(Attention, StartedWithTheSessionTheWindowWaitsOutOfSight) {
  World w;
  w.settings.values["hostdata"] = "{\"code\":\"200\",\"data\":\"http://s\"}";
  w.client.start(true);
  EXPECT_EQ(w.ui.get(Form::Main, {}, Property::Visible), 0);
  World unbound;
  unbound.client.start(true);
  EXPECT_NE(unbound.ui.get(Form::Join, {}, Property::Visible), 0);
}

TEST(Attention, TheTrayAsksForAttentionWhileMessagesAreUnread) {
  Bound w;
  EXPECT_FALSE(w.ui.tray_attention);
  w.unread(3);
  w.seconds(1);
  EXPECT_TRUE(w.ui.tray_attention);
  w.unread(0);
  w.seconds(1);
  EXPECT_FALSE(w.ui.tray_attention);
}

}  // namespace
}  // namespace quorvel::app
