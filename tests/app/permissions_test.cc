// What the site may use, and the notifications it shows.
#include "app/permissions.h"

#include <gtest/gtest.h>

#include "app/fake_platform.h"

namespace quorvel::app {
namespace {

using Kind = PermissionRequest::Kind;

struct Bound : fake::World {
  Bound() {
    settings.values["hostdata"] = "{\"code\":\"200\",\"data\":\"https://chat.test:8443\"}";
    client.start();
  }
  bool ask(Kind kind, std::string_view address = "https://chat.test:8443/service/login") {
    return view.events->permission_requested({kind, Text(address)});
  }
  Text notice_text() { return ui.get_text(Form::Notice, names().notice_content, TextProperty::Text); }
};

TEST(Permissions, TheSiteGetsWhatAConsoleNeedsAndNothingElse) {
  Bound w;
  EXPECT_TRUE(w.ask(Kind::Notifications));
  EXPECT_TRUE(w.ask(Kind::Clipboard));
  EXPECT_TRUE(w.ask(Kind::Autoplay));
  EXPECT_FALSE(w.ask(Kind::Location));
  EXPECT_FALSE(w.ask(Kind::Other));
  EXPECT_TRUE(w.ui.permission_questions.empty());
  // Another site gets nothing, and the agent is not asked.
  EXPECT_FALSE(w.ask(Kind::Notifications, "https://example.com/"));
  EXPECT_FALSE(w.ask(Kind::Microphone, "https://chat.test/"));
  EXPECT_TRUE(w.ui.permission_questions.empty());
}

TEST(Permissions, DevicesAreTheAgentsToAllowOncePerSite) {
  Bound w;
  w.ui.permission_answers = {{true, true}, {false, false}, {true, false}};
  EXPECT_TRUE(w.ask(Kind::Microphone));
  ASSERT_EQ(w.ui.permission_questions.size(), 1u);
  EXPECT_EQ(w.ui.permission_questions[0], from_utf8("此站点请求使用麦克风"));
  EXPECT_EQ((w.settings.other_sections[{"permissions", "chat.test-8443:microphone"}]), "allow");
  // Remembered: not asked again.
  EXPECT_TRUE(w.ask(Kind::Microphone));
  EXPECT_EQ(w.ui.permission_questions.size(), 1u);
  // Not remembered: asked each time.
  EXPECT_FALSE(w.ask(Kind::Camera));
  EXPECT_TRUE(w.ask(Kind::Camera));
  EXPECT_EQ(w.ui.permission_questions.back(), from_utf8("此站点请求使用摄像头"));
  EXPECT_FALSE(w.ask(Kind::Screen));  // no answer: denied
  EXPECT_EQ(w.ui.permission_questions.back(), from_utf8("此站点请求使用屏幕"));
}

TEST(Permissions, TheSitesNotificationsShowOnTheDesktopOrInTheNotice) {
  Bound w;
  w.view.events->page_notification({from_utf8("新访客"), from_utf8("广州访客进入了对话"),
                                    "https://chat.test:8443/service/login"});
  ASSERT_EQ(w.desktop.notifications.size(), 1u);
  EXPECT_EQ(w.desktop.notifications[0].first, from_utf8("新访客"));
  // Another site's: nowhere.
  w.view.events->page_notification({"x", "y", "https://example.com/"});
  EXPECT_EQ(w.desktop.notifications.size(), 1u);
  // Without a notification service: the client's notice.
  w.desktop.notification_service = false;
  w.view.events->page_notification({from_utf8("新访客"), from_utf8("上海访客进入了对话"),
                                    "https://chat.test:8443/x"});
  EXPECT_NE(w.notice_text().find(from_utf8("上海访客进入了对话")), Text::npos);
  EXPECT_EQ(w.ui.get(Form::Notice, {}, Property::Visible), 1);
  // During do-not-disturb: held back, shown when it ends.
  w.ui.set(Form::Notice, {}, Property::Visible, 0);
  w.desktop.quiet = true;
  w.clock.now += 1000;
  w.client.on_timer(Form::Main, names().main_timer);  // the desktop's quiet is read each second
  w.view.events->page_notification({"t", "held", "https://chat.test:8443/x"});
  EXPECT_EQ(w.ui.get(Form::Notice, {}, Property::Visible), 0);
  w.desktop.quiet = false;
  w.clock.now += 1000;
  w.client.on_timer(Form::Main, names().main_timer);
  EXPECT_EQ(w.ui.get(Form::Notice, {}, Property::Visible), 1);
}

}  // namespace
}  // namespace quorvel::app
