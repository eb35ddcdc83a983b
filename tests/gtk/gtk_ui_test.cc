// The GTK window layer on a virtual display: designed texts that fit their
// rectangles, and where Escape goes.
#include "gtk/gtk_ui.h"

#include <gtest/gtest.h>

#include "app/forms.h"

namespace quorvel::gtk {
namespace {

class GtkEnvironment : public testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "no display"; }
};
testing::Environment* const gtk_environment = testing::AddGlobalTestEnvironment(new GtkEnvironment);

GtkWidget* widget(const GtkUi& ui, app::Form form, std::string_view control) {
  return reinterpret_cast<GtkWidget*>(ui.native_handle(form, control));
}

Text gb(const char* utf8) {
  return from_utf8(utf8);
}

// Runs the main loop for a while, so that the display's answers arrive.
void pump_for(int ms) {
  const gint64 end = g_get_monotonic_time() + ms * 1000;
  while (g_get_monotonic_time() < end) {
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
    g_usleep(2000);
  }
}

TEST(GtkUi, FormsFollowTheirDesigns) {
  GtkUi ui;
  ui.load(app::Form::Join, false);
  ASSERT_TRUE(ui.exists(app::Form::Join));
  pump_for(200);
  EXPECT_EQ(ui.get_text(app::Form::Join, {}, app::TextProperty::Caption), gb("加入Quorvel服务器"));
  EXPECT_EQ(ui.get(app::Form::Join, {}, app::Property::Width), 468);
  EXPECT_EQ(ui.get(app::Form::Join, {}, app::Property::Height), 250);
  EXPECT_EQ(ui.get(app::Form::Join, gb("按钮1"), app::Property::Top), 104);
  EXPECT_EQ(ui.get_text(app::Form::Join, gb("按钮1"), app::TextProperty::Text), gb("连接加入"));
  EXPECT_EQ(ui.get_text(app::Form::Join, gb("分组框1"), app::TextProperty::Text),
            gb("自定义登入地址"));
  EXPECT_NE(ui.native_handle(app::Form::Join, gb("编辑框1")), 0);
  EXPECT_EQ(ui.native_handle(app::Form::Join, gb("没有这个")), 0);
  // Chinese texts both ways, tags kept apart from what shows.
  ui.set_text(app::Form::Join, gb("编辑框1"), app::TextProperty::Text, gb("服务器 8866"));
  EXPECT_EQ(ui.get_text(app::Form::Join, gb("编辑框1"), app::TextProperty::Text),
            gb("服务器 8866"));
  ui.set_text(app::Form::Join, gb("编辑框1"), app::TextProperty::Tag, "t");
  EXPECT_EQ(ui.get_text(app::Form::Join, gb("编辑框1"), app::TextProperty::Tag), "t");
  EXPECT_EQ(ui.get_text(app::Form::Join, gb("编辑框1"), app::TextProperty::Text),
            gb("服务器 8866"));
  ui.set_text(app::Form::Join, {}, app::TextProperty::Caption, gb("标题"));
  EXPECT_EQ(ui.get_text(app::Form::Join, {}, app::TextProperty::Caption), gb("标题"));
  ui.destroy(app::Form::Join);
  EXPECT_FALSE(ui.exists(app::Form::Join));
  EXPECT_EQ(ui.get(app::Form::Join, {}, app::Property::Width), 0);
}

// Logical pixels in, the same read back once the display has answered.
TEST(GtkUi, GeometryReadsBackAsSet) {
  GtkUi ui;
  ui.load(app::Form::Main, false);
  pump_for(200);
  ui.set(app::Form::Main, {}, app::Property::Height, 300);
  ui.set(app::Form::Main, {}, app::Property::Width, 400);
  ui.set(app::Form::Main, {}, app::Property::Top, 120);
  ui.set(app::Form::Main, {}, app::Property::Left, 100);
  pump_for(300);
  EXPECT_EQ(ui.get(app::Form::Main, {}, app::Property::Width), 400);
  EXPECT_EQ(ui.get(app::Form::Main, {}, app::Property::Height), 300);
  EXPECT_EQ(ui.get(app::Form::Main, {}, app::Property::Left), 100);
  EXPECT_EQ(ui.get(app::Form::Main, {}, app::Property::Top), 120);
  const Text board = app::names().board;
  ui.set(app::Form::Main, board, app::Property::Width, 395);
  EXPECT_EQ(ui.get(app::Form::Main, board, app::Property::Width), 395);
  ui.set(app::Form::Main, {}, app::Property::TopMost, 1);
  EXPECT_EQ(ui.get(app::Form::Main, {}, app::Property::TopMost), 1);
  // The notice is not shown when it is loaded: its layout places it first.
  ui.load(app::Form::Notice, false);
  EXPECT_EQ(ui.get(app::Form::Notice, {}, app::Property::Visible), 0);
  const std::vector<app::Monitor> screens = ui.monitors();
  ASSERT_FALSE(screens.empty());
  EXPECT_EQ(screens.front().area.width, 1280);  // xvfb-run's screen
}

TEST(GtkUi, TheSelfClosingBoxClosesItselfAfterItsTimeout) {
  GtkUi ui;
  app::TimedMessage message;  // the defaults: OK only, "友情提醒"
  message.text = gb("服务器编号不存在");
  message.timeout_ms = 1500;
  const gint64 start = g_get_monotonic_time();
  EXPECT_EQ(ui.show_timed_message(message), 31999);
  const gint64 took_ms = (g_get_monotonic_time() - start) / 1000;
  EXPECT_GE(took_ms, 1400);
  EXPECT_LT(took_ms, 4000);
}

// The designs assume a small font: at the desktop's, a label's second line
// once hid behind the box below it.
TEST(GtkUiLabels, EveryDesignedLabelFitsItsRectangle) {
  for (const app::Form form : {app::Form::Join, app::Form::Notice}) {
    GtkUi ui;
    ui.load(form, false);
    for (const app::ControlDesign& c : app::form_design(form).controls) {
      if (c.kind != app::ControlKind::Label && c.kind != app::ControlKind::BoldLabel) continue;
      GtkWidget* label = widget(ui, form, c.name);
      ASSERT_NE(label, nullptr);
      int min_width = 0, natural_width = 0, min_height = 0, natural_height = 0;
      gtk_widget_get_preferred_width(label, &min_width, &natural_width);
      gtk_widget_get_preferred_height_for_width(label, c.rect.width, &min_height, &natural_height);
      EXPECT_LE(natural_width, c.rect.width) << to_utf8(c.name);
      EXPECT_LE(natural_height, c.rect.height) << to_utf8(c.name);
    }
  }
}

TEST(GtkUiLabels, ACountdownOfFourDigitsIsOneLine) {
  GtkUi ui;
  ui.load(app::Form::Notice, false);
  const app::Names& n = app::names();
  GtkWidget* label = widget(ui, app::Form::Notice, n.notice_countdown);
  const auto height = [&] {
    int min = 0, natural = 0;
    gtk_widget_get_preferred_height(label, &min, &natural);
    return natural;
  };
  ui.set_text(app::Form::Notice, n.notice_countdown, app::TextProperty::Text, "18");
  const int one_line = height();
  ui.set_text(app::Form::Notice, n.notice_countdown, app::TextProperty::Text, "1500");
  EXPECT_EQ(height(), one_line);
}

void press_escape(GtkWidget* window) {
  GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
  event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
  event->key.keyval = GDK_KEY_Escape;
  gtk_widget_event(window, event);
  gdk_event_free(event);
}

// Escape requests the close (without a client: the form goes), except in a
// drawing board that holds the focus: the page there owns its keys.
TEST(GtkUiKeys, EscapeBelongsToTheBoardThatHasTheFocus) {
  GtkUi ui;
  ui.load(app::Form::Main, false);
  GtkWidget* board = widget(ui, app::Form::Main, app::names().board);
  GtkWidget* window = gtk_widget_get_toplevel(board);
  GtkWidget* page = gtk_entry_new();
  gtk_fixed_put(GTK_FIXED(board), page, 0, 0);
  gtk_widget_show(page);
  gtk_window_set_focus(GTK_WINDOW(window), page);
  press_escape(window);
  ASSERT_TRUE(ui.exists(app::Form::Main));
  gtk_window_set_focus(GTK_WINDOW(window), nullptr);
  press_escape(window);
  EXPECT_FALSE(ui.exists(app::Form::Main));
}

}  // namespace
}  // namespace quorvel::gtk
