// What the agent presses in the page: zoom kept over a restart, find in
// page with its count, print, reload and a link opened in the browser.
#include <gtest/gtest.h>

#include "app/fake_platform.h"
#include "app/find_bar.h"

namespace quorvel::app {
namespace {

struct Bound : fake::World {
  explicit Bound(Text zoom = {}) {
    settings.values["hostdata"] = "{\"code\":\"200\",\"data\":\"https://chat.test\"}";
    if (!zoom.empty()) settings.values["zoom"] = zoom;
    client.start();
  }
  void press(ViewCommand command, std::string_view address = {}) {
    view.events->command(command, address);
  }
  bool shown(const Text& control) { return ui.get(Form::Main, control, Property::Visible) != 0; }
  Text count() { return ui.get_text(Form::Main, names().find_count, TextProperty::Text); }
  void type(std::string_view text) {
    ui.set_text(Form::Main, names().find_box, TextProperty::Text, text);
  }
  void key(int code) { client.on_key(Form::Main, names().find_box, code); }
};

TEST(ViewKeys, ZoomStepsWithinItsBoundsAndIsKeptOverARestart) {
  Bound w;
  EXPECT_TRUE(w.view.zooms.empty());  // 100 % needs nothing
  w.press(ViewCommand::ZoomIn);
  w.press(ViewCommand::ZoomIn);
  EXPECT_EQ(w.view.zooms, (std::vector<int>{110, 125}));
  EXPECT_EQ(w.settings.values["zoom"], "125");
  for (int i = 0; i < 20; ++i) w.press(ViewCommand::ZoomIn);
  EXPECT_EQ(w.view.zooms.back(), 300);
  for (int i = 0; i < 30; ++i) w.press(ViewCommand::ZoomOut);
  EXPECT_EQ(w.view.zooms.back(), 50);
  w.press(ViewCommand::ZoomReset);
  EXPECT_EQ(w.view.zooms.back(), 100);
  // The kept zoom at the next start; a damaged one stays within the bounds.
  Bound kept("150");
  EXPECT_EQ(kept.view.zooms, std::vector<int>{150});
  Bound damaged("9999");
  EXPECT_EQ(damaged.view.zooms, std::vector<int>{300});
}

TEST(ViewKeys, FindStepsThroughTheMatchesAndEscGivesThePageBack) {
  Bound w;
  EXPECT_FALSE(w.shown(names().find_box));
  w.press(ViewCommand::Find);
  EXPECT_TRUE(w.shown(names().find_box));
  EXPECT_TRUE(w.shown(names().find_count));
  w.type(from_utf8("报价"));
  w.key(kKeyEnter);
  ASSERT_EQ(w.view.finds.size(), 1u);
  EXPECT_EQ(w.view.finds[0], std::make_pair(from_utf8("报价"), WebView::Find::Next));
  w.view.events->find_result(12);
  EXPECT_EQ(w.count(), "1/12");
  w.key(kKeyEnter);
  w.key(kKeyEnter);
  EXPECT_EQ(w.count(), "3/12");
  w.client.on_click(Form::Main, names().find_previous);
  EXPECT_EQ(w.count(), "2/12");
  w.key(kKeyShiftEnter);
  w.key(kKeyShiftEnter);
  EXPECT_EQ(w.count(), "12/12");
  EXPECT_EQ(w.view.finds.back().second, WebView::Find::Previous);
  // Another text starts over; none found says so.
  w.type("zzz");
  w.client.on_click(Form::Main, names().find_next);
  w.view.events->find_result(0);
  EXPECT_EQ(w.count(), from_utf8("无结果"));
  w.key(kKeyEscapeValue);
  EXPECT_FALSE(w.shown(names().find_box));
  EXPECT_EQ(w.view.finds.back().second, WebView::Find::End);
  EXPECT_EQ(w.ui.focused_controls.back(), names().board);
}

TEST(ViewKeys, PrintReloadAndALinkInTheBrowser) {
  Bound w;
  w.press(ViewCommand::Print);
  w.press(ViewCommand::Reload);
  w.press(ViewCommand::OpenInBrowser, "https://chat.test/files/a.pdf");
  EXPECT_EQ(w.view.prints, 1);
  EXPECT_EQ(w.view.reloads, 1);
  EXPECT_EQ(w.desktop.opened, std::vector<Text>{"https://chat.test/files/a.pdf"});
  // The engine is told the agent's spelling languages and the inspector.
  fake::World keys;
  keys.settings.values = {{"hostdata", "{\"code\":\"200\",\"data\":\"https://chat.test\"}"},
                          {"spelllangs", "zh_CN,en_GB"},
                          {"devtools", "1"}};
  keys.client.start();
  EXPECT_EQ(keys.view.options["spell_languages"], "zh_CN,en_GB");
  EXPECT_EQ(keys.view.options["devtools"], "1");
  EXPECT_EQ(w.view.options.count("devtools"), 0u);
}

}  // namespace
}  // namespace quorvel::app
