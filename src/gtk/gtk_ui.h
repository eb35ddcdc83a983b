// The window layer over GTK 3: forms built from their designs with
// absolutely placed controls (GtkFixed), the tray icon (GtkStatusIcon, which
// gives the left click and double click the tray handlers need) and message
// boxes that keep the program's timers and events running. The bookkeeping
// of forms and controls is the table's; this layer makes the widgets.
//
// Geometry is in logical pixels: left and top are what gtk_window_get_position
// reports for the top-level window, width and height what gtk_window_get_size
// reports. GTK reports moves and resizes through one configure event; they
// are told apart by comparing with the last known position and size.
#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <vector>

#include "app/form_table.h"
#include "app/ui.h"
#include "gtk/gobject_ptr.h"
#include "gtk/notifier_item.h"
#include "gtk/system_news.h"

namespace quorvel::gtk {

class GtkUi final : public app::TableUi, public app::TimedMessageBox {
 public:
  GtkUi();
  ~GtkUi() override;
  GtkUi(const GtkUi&) = delete;
  GtkUi& operator=(const GtkUi&) = delete;

  // Runs the message loop unless the program was asked to end already.
  void run();
  // SIGTERM, SIGHUP and SIGINT, and the loss of the display at the end of
  // the session, end the client the way the end of a Windows session does.
  void handle_end_of_session();
  void quit_for_session();
  // The network's return and the machine's waking reach the events.
  void watch_system_news();

  void load(app::Form form, bool modal) override;
  void destroy(app::Form form) override;
  void focus(app::Form form) override;
  void set_tray(app::TrayPicture picture, std::string_view tip) override;
  void set_tray_attention(bool attention) override;
  void set_menu_check(int item, bool checked) override;
  void set_urgent(app::Form form, bool urgent) override;
  [[nodiscard]] bool is_active(app::Form form) const override;
  void popup_tray_menu(app::Point at) override;
  [[nodiscard]] app::Point pointer() const override;
  [[nodiscard]] std::vector<app::Monitor> monitors() const override;
  int message_box(std::string_view text, std::string_view caption, app::Buttons buttons) override;
  void raise_message_box() override;
  [[nodiscard]] Text ask_save_path(std::string_view suggested) override;
  void focus_control(app::Form form, std::string_view control) override;
  [[nodiscard]] PermissionAnswer ask_permission(std::string_view question) override;
  void quit() override;

  int show_timed_message(const app::TimedMessage& message) override;

  struct Window;
  struct Widget;

 private:
  friend struct Callbacks;
  [[nodiscard]] std::unique_ptr<app::FormEntry> new_form() override;
  [[nodiscard]] std::unique_ptr<app::ControlEntry> new_control() override;
  [[nodiscard]] int form_property(const app::FormEntry& f, app::Property p) const override;
  void set_form_property(app::FormEntry& f, app::Property p, int value) override;
  [[nodiscard]] bool control_visible(const app::ControlEntry& c) const override;
  void set_control_visible(app::FormEntry& f, app::ControlEntry& c, bool visible) override;
  void place_control(app::FormEntry& f, app::ControlEntry& c) override;
  [[nodiscard]] Text native_text(const app::FormEntry& f,
                                 const app::ControlEntry* c) const override;
  void set_native_text(app::FormEntry& f, app::ControlEntry* c, std::string_view text) override;
  [[nodiscard]] std::intptr_t native_widget(const app::ControlEntry& c) const override;

  [[nodiscard]] Window* window(app::Form form) const;
  void build_form(app::Form form);
  void build_control(Window& f, Widget& c);
  void build_tray();
  void build_tray_menu();
  void build_status_icon();
  void build_command_button();
  // Whether a hidden main window can be brought back from a tray.
  [[nodiscard]] bool tray_shown() const;

  // Where the tray's commands are: a StatusNotifierItem, an XEmbed status
  // icon, or (with neither) a button in the main window. Decided when the
  // tray is first shown.
  enum class TrayKind { Undecided, Notifier, StatusIcon, Window };
  TrayKind tray_kind_ = TrayKind::Undecided;
  std::unique_ptr<NotifierItem> notifier_;
  GObjectPtr<GtkStatusIcon> tray_;
  GObjectPtr<GtkWidget> tray_menu_;
  std::vector<GtkWidget*> menu_items_;  // the menu's items and check items
  bool setting_check_ = false;  // a check set by the client, not the agent
  GObjectPtr<GdkPixbuf> window_icon_, alert_icon_;
  std::unique_ptr<SystemNews> news_;
  std::vector<GtkWidget*> open_boxes_;  // message boxes running, the last on top
  bool quit_requested_ = false;
  bool running_ = false;
};

}  // namespace quorvel::gtk
