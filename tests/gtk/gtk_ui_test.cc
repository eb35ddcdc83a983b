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
testing::Environment* const gtk_environment =
    testing::AddGlobalTestEnvironment(new GtkEnvironment);

GtkWidget* widget(const GtkUi& ui, app::Form form, std::string_view control) {
  return reinterpret_cast<GtkWidget*>(ui.native_handle(form, control));
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
