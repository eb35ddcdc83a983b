// The window layer over GTK 3: forms built from their designs with
// absolutely placed controls (GtkFixed), the tray icon (GtkStatusIcon, which
// gives the left click and double click the tray handlers need) and message
// boxes that keep the program's timers and events running.
//
// Geometry is in logical pixels: left and top are what gtk_window_get_position
// reports for the top-level window, width and height what gtk_window_get_size
// reports. GTK reports moves and resizes through one configure event; they
// are told apart by comparing with the last known position and size.
#pragma once

#include <gtk/gtk.h>

#include <map>
#include <memory>

#include "app/client.h"
#include "app/ui.h"
#include "gtk/gobject_ptr.h"

namespace quorvel::gtk {

class GtkUi final : public app::Ui, public app::TimedMessageBox {
 public:
  GtkUi();
  ~GtkUi() override;
  GtkUi(const GtkUi&) = delete;
  GtkUi& operator=(const GtkUi&) = delete;

  void set_client(app::Client* client) { client_ = client; }
  // SIGTERM, SIGHUP and SIGINT, and the loss of the display at the end of
  // the session, end the client the way the end of a Windows session does.
  void handle_end_of_session();
  void quit_for_session();
  // Runs the message loop unless the program was asked to end already.
  void run();

  void load(app::Form form, bool modal) override;
  void destroy(app::Form form) override;
  [[nodiscard]] bool exists(app::Form form) const override;
  [[nodiscard]] int get(app::Form form, std::string_view control, app::Property p) const override;
  void set(app::Form form, std::string_view control, app::Property p, int value) override;
  [[nodiscard]] Text get_text(app::Form form, std::string_view control,
                              app::TextProperty p) const override;
  void set_text(app::Form form, std::string_view control, app::TextProperty p,
                std::string_view value) override;
  void focus(app::Form form) override;
  [[nodiscard]] std::intptr_t native_handle(app::Form form,
                                            std::string_view control) const override;
  void set_tray(app::TrayPicture picture, std::string_view tip) override;
  void popup_tray_menu(app::Point at) override;
  [[nodiscard]] app::Point pointer() const override;
  [[nodiscard]] std::vector<app::Monitor> monitors() const override;
  int message_box(std::string_view text, std::string_view caption, app::Buttons buttons) override;
  void quit() override;

  int show_timed_message(const app::TimedMessage& message) override;

  struct FormState;
  struct Control;

 private:
  friend struct Callbacks;
  [[nodiscard]] FormState* state(app::Form form) const;
  [[nodiscard]] Control* control(app::Form form, std::string_view name) const;
  void build_tray();
  void build_form(app::Form form);
  void notice_geometry(app::Form form);

  app::Client* client_ = nullptr;
  std::map<app::Form, std::unique_ptr<FormState>> forms_;
  GObjectPtr<GtkStatusIcon> tray_;
  GObjectPtr<GtkWidget> tray_menu_;
  GObjectPtr<GdkPixbuf> window_icon_, alert_icon_;
  bool quit_requested_ = false;
  bool running_ = false;
};

}  // namespace quorvel::gtk
