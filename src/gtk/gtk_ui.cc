#include "gtk/gtk_ui.h"

#include <glib-unix.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/find_bar.h"
#include "app/forms.h"
#include "gtk/display_lost.h"
#include "gtk/end_signals.h"
#include "gtk/labels.h"
#include "gtk/single_instance.h"
#include "gtk/xembed_tray.h"

namespace quorvel::embedded {
extern const unsigned char icon_window_32[], icon_window_64[], icon_alert_64[];
extern const std::size_t icon_window_32_size, icon_window_64_size, icon_alert_64_size;
}  // namespace quorvel::embedded

namespace quorvel::gtk {

using app::Form;
using app::Property;

struct GtkUi::Widget : app::ControlEntry {
  GtkWidget* widget = nullptr;  // null for a timer
  GtkWidget* inner = nullptr;   // a container's own fixed area
  GtkWidget* text = nullptr;    // what shows the control's text
  SourceId timer;
};

struct GtkUi::Window : app::FormEntry {
  GtkWidget* window = nullptr;
  GtkWidget* fixed = nullptr;
  GtkWidget* clip = nullptr;  // holds a fixed-size form at its size
  GtkWidget* overlay = nullptr;  // over the form: the command button
  int last_left = 0, last_top = 0, last_width = 0, last_height = 0;
  // The place and size asked for last: the toolkit reports a move only once
  // the window manager made it, so a second change must not start from the
  // stale report.
  int want_left = 0, want_top = 0, want_width = 0, want_height = 0;
  SourceId geometry_check;
  GMainLoop* modal_loop = nullptr;
  GtkUi* owner = nullptr;
};

namespace {

GObjectPtr<GdkPixbuf> pixbuf_from(const unsigned char* data, std::size_t size) {
  const auto loader =
      GObjectPtr<GdkPixbufLoader>::adopt(gdk_pixbuf_loader_new_with_type("png", nullptr));
  if (!loader || !gdk_pixbuf_loader_write(loader.get(), data, size, nullptr) ||
      !gdk_pixbuf_loader_close(loader.get(), nullptr)) {
    return {};
  }
  return GObjectPtr<GdkPixbuf>::share(gdk_pixbuf_loader_get_pixbuf(loader.get()));
}

std::string utf8(std::string_view text) {
  return to_utf8(text);
}

// Which control a signal is about: made with the connection and freed by
// GLib when the connection goes.
struct ControlEvent {
  GtkUi* ui;
  Form form;
  Text name;
};

void free_event(gpointer data, GClosure*) {
  delete static_cast<ControlEvent*>(data);
}

void free_event_notify(gpointer data) {
  delete static_cast<ControlEvent*>(data);
}

}  // namespace

// The toolkit's signals, turned into the client's events.
struct Callbacks {
  static GtkUi::Window& form_of(gpointer data) { return *static_cast<GtkUi::Window*>(data); }
  static app::UiEvents* events_of(const GtkUi::Window& f) { return f.owner->events(); }
  static app::UiEvents* events_of(const ControlEvent& e) { return e.ui->events(); }

  static gboolean on_delete(GtkWidget*, GdkEvent*, gpointer data) {
    GtkUi::Window& f = form_of(data);
    GtkUi& ui = *f.owner;
    if (ui.events() != nullptr && !ui.events()->on_close_request(f.form)) return TRUE;
    ui.destroy(f.form);
    return TRUE;
  }

  // Escape requests a close, as designed, except while the focus is in a
  // drawing board: the page in it owns its keys (Escape closes its own
  // pop-ups), and this handler runs before the focused widget sees them.
  static gboolean on_key(GtkWidget* widget, GdkEventKey* event, gpointer data) {
    if (event->keyval != GDK_KEY_Escape) return FALSE;
    GtkUi::Window& f = form_of(data);
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(f.window));
    if (focus != nullptr) {
      for (const auto& entry : f.controls) {
        const auto& c = static_cast<const GtkUi::Widget&>(*entry);
        if (c.design.kind != app::ControlKind::Board || c.widget == nullptr) continue;
        if (focus == c.widget || gtk_widget_is_ancestor(focus, c.widget)) return FALSE;
      }
    }
    return on_delete(widget, nullptr, data);
  }

  // Position and size are read once the configure burst is over.
  static gboolean check_geometry(gpointer data) {
    GtkUi::Window& f = form_of(data);
    static_cast<void>(f.geometry_check.release());  // this source ends here
    int left = 0, top = 0, width = 0, height = 0;
    gtk_window_get_position(GTK_WINDOW(f.window), &left, &top);
    gtk_window_get_size(GTK_WINDOW(f.window), &width, &height);
    const bool moved = left != f.last_left || top != f.last_top;
    const bool resized = width != f.last_width || height != f.last_height;
    f.last_left = f.want_left = left;
    f.last_top = f.want_top = top;
    f.last_width = f.want_width = width;
    f.last_height = f.want_height = height;
    app::UiEvents* events = events_of(f);
    if (events == nullptr) return G_SOURCE_REMOVE;
    if (resized) events->on_resized(f.form);
    if (moved) events->on_moved(f.form);
    return G_SOURCE_REMOVE;
  }

  static gboolean on_configure(GtkWidget*, GdkEvent*, gpointer data) {
    GtkUi::Window& f = form_of(data);
    if (!f.geometry_check) f.geometry_check.reset(g_idle_add(check_geometry, data));
    return FALSE;
  }

  static gboolean on_window_state(GtkWidget*, GdkEventWindowState* event, gpointer data) {
    GtkUi::Window& f = form_of(data);
    const GdkWindowState s = event->new_window_state;
    const app::WindowState state =
        (s & GDK_WINDOW_STATE_ICONIFIED) != 0   ? app::WindowState::Minimised
        : (s & GDK_WINDOW_STATE_MAXIMIZED) != 0 ? app::WindowState::Maximised
                                                : app::WindowState::Normal;
    if (state == f.state) return FALSE;
    f.state = state;
    // A restore or a maximise moves the window as far as the handlers are
    // concerned: they store the new state with the place.
    if (state != app::WindowState::Minimised && events_of(f) != nullptr) {
      events_of(f)->on_moved(f.form);
    }
    return FALSE;
  }

  static gboolean on_focus(GtkWidget*, GdkEvent*, gpointer data) {
    GtkUi::Window& f = form_of(data);
    if (events_of(f) != nullptr) events_of(f)->on_focus(f.form);
    return FALSE;
  }

  static void on_clicked(GtkButton*, gpointer data) {
    const auto& e = *static_cast<ControlEvent*>(data);
    if (events_of(e) != nullptr) events_of(e)->on_click(e.form, e.name);
  }

  static void on_activate(GtkEntry*, gpointer data) {
    const auto& e = *static_cast<ControlEvent*>(data);
    if (events_of(e) != nullptr) events_of(e)->on_key(e.form, e.name, 13);
  }

  // Every other key typed into an edit box, by its character (or key value
  // when it has none); Enter comes through the activation above.
  static gboolean on_entry_key(GtkWidget*, GdkEventKey* event, gpointer data) {
    const auto& e = *static_cast<ControlEvent*>(data);
    const guint key = event->keyval;
    const bool enter = key == GDK_KEY_Return || key == GDK_KEY_KP_Enter;
    // Shift+Enter steps back (the find box): a code of its own, no activation.
    if (events_of(e) != nullptr && enter && (event->state & GDK_SHIFT_MASK) != 0) {
      events_of(e)->on_key(e.form, e.name, app::kKeyShiftEnter);
      return TRUE;
    }
    if (events_of(e) == nullptr || enter) return FALSE;
    const guint32 character = gdk_keyval_to_unicode(key);
    events_of(e)->on_key(e.form, e.name, static_cast<int>(character != 0 ? character : key));
    return FALSE;
  }

  static gboolean on_press(GtkWidget*, GdkEventButton* event, gpointer data) {
    const auto& e = *static_cast<ControlEvent*>(data);
    if (events_of(e) == nullptr || event->button != 1) return FALSE;
    if (event->type == GDK_2BUTTON_PRESS) {
      events_of(e)->on_double_click(e.form, e.name);
    } else if (event->type == GDK_BUTTON_PRESS) {
      events_of(e)->on_press(e.form, e.name);
    }
    return FALSE;  // the control still gets the press (focus, caret)
  }

  static gboolean on_tick(gpointer data) {
    const auto& e = *static_cast<ControlEvent*>(data);
    if (events_of(e) != nullptr) events_of(e)->on_timer(e.form, e.name);
    return G_SOURCE_CONTINUE;
  }

  static void on_tray_activate(GtkStatusIcon*, gpointer data) {
    auto* ui = static_cast<GtkUi*>(data);
    if (ui->events() != nullptr) ui->events()->on_tray(app::kTrayLeftUp);
  }

  static gboolean on_tray_button(GtkStatusIcon*, GdkEventButton* event, gpointer data) {
    auto* ui = static_cast<GtkUi*>(data);
    if (event->type == GDK_2BUTTON_PRESS && event->button == 1 && ui->events() != nullptr) {
      ui->events()->on_tray(app::kTrayDoubleClick);
      return TRUE;
    }
    return FALSE;
  }

  static void on_tray_menu(GtkStatusIcon*, guint, guint, gpointer data) {
    auto* ui = static_cast<GtkUi*>(data);
    if (ui->events() != nullptr) ui->events()->on_tray(app::kTrayRightUp);
  }

  static void on_menu_item(GtkMenuItem* item, gpointer data) {
    auto* ui = static_cast<GtkUi*>(data);
    if (ui->setting_check_) return;
    const int index = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), "quorvel-index"));
    if (ui->events() != nullptr) ui->events()->on_menu(index);
  }

  static void position_menu(GtkMenu*, gint* x, gint* y, gboolean* push_in, gpointer data) {
    const auto* at = static_cast<const app::Point*>(data);
    *x = at->x;
    *y = at->y;
    *push_in = TRUE;
  }

  static gboolean close_timed(gpointer data) {
    gtk_dialog_response(GTK_DIALOG(data), GTK_RESPONSE_NONE);
    return G_SOURCE_REMOVE;
  }

};

namespace {

// Connects a control's signal to its handler with the control's name.
void connect(GtkWidget* widget, const char* signal, GCallback handler, GtkUi* ui, Form form,
             const Text& name) {
  g_signal_connect_data(widget, signal, handler, new ControlEvent{ui, form, name}, free_event,
                        GConnectFlags(0));
}

}  // namespace

GtkUi::GtkUi() {
  // The 64-pixel pictures keep the tray sharp at twice the scale.
  window_icon_ = pixbuf_from(embedded::icon_window_64, embedded::icon_window_64_size);
  alert_icon_ = pixbuf_from(embedded::icon_alert_64, embedded::icon_alert_64_size);
  const GObjectPtr<GdkPixbuf> small =
      pixbuf_from(embedded::icon_window_32, embedded::icon_window_32_size);
  GList* icons = nullptr;
  if (small) icons = g_list_append(icons, small.get());
  if (window_icon_) icons = g_list_append(icons, window_icon_.get());
  gtk_window_set_default_icon_list(icons);
  g_list_free(icons);
  // The tray is built when it is first shown: creating the status icon
  // costs a round of X requests that would otherwise delay the page's load.
}

GtkUi::~GtkUi() {
  while (!form_entries().empty()) destroy(form_entries().begin()->first);
}

void GtkUi::handle_end_of_session() {
  watch_end_signals([this] { quit_for_session(); });
  exit_when_display_is_lost();
}

void GtkUi::watch_system_news() {
  news_ = std::make_unique<SystemNews>(SystemNews::Listener{
      [this] {
        if (events() != nullptr) events()->on_network_changed();
      },
      [this] {
        if (events() != nullptr) events()->on_resumed();
      }});
}

void GtkUi::quit_for_session() {
  arm_end_deadline();
  if (events() != nullptr) {
    events()->end_session();
    return;
  }
  quit();
}

void GtkUi::build_tray() {
  build_tray_menu();
  GObjectPtr<GDBusConnection> bus = GObjectPtr<GDBusConnection>::adopt(
      g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
  if (bus && NotifierItem::host_present(bus.get())) {
    std::vector<NotifierItem::MenuEntry> entries;
    for (const Text& label : app::form_design(Form::Main).menu) entries.push_back({utf8(label)});
    for (const Text& label : app::form_design(Form::Main).menu_checks) {
      entries.push_back({utf8(label), true});
    }
    notifier_ = std::make_unique<NotifierItem>(
        bus.get(), kApplicationId, window_icon_.get(), alert_icon_.get(), entries,
        NotifierItem::Listener{
            [this] {
              if (events() != nullptr) events()->on_tray(app::kTrayLeftUp);
            },
            [this](int, int) {
              if (events() != nullptr) events()->on_tray(app::kTrayRightUp);
            },
            [this](int index) {
              if (events() != nullptr) events()->on_menu(index);
            }});
    tray_kind_ = TrayKind::Notifier;
    std::fprintf(stderr, "quorvel: tray: a StatusNotifierItem (%s)\n",
                 notifier_->bus_name().c_str());
  } else if (xembed_tray_present()) {
    build_status_icon();
    tray_kind_ = TrayKind::StatusIcon;
    std::fprintf(stderr, "quorvel: tray: an XEmbed status icon\n");
  } else {
    build_command_button();
    tray_kind_ = TrayKind::Window;
    std::fprintf(stderr,
                 "quorvel: tray: none on this desktop; the main window carries its commands\n");
  }
}

void GtkUi::build_tray_menu() {
  tray_menu_ = GObjectPtr<GtkWidget>::share(gtk_menu_new());
  const app::FormDesign& design = app::form_design(Form::Main);
  const auto add = [this](GtkWidget* item) {
    const auto index = static_cast<int>(menu_items_.size());
    g_object_set_data(G_OBJECT(item), "quorvel-index", GINT_TO_POINTER(index));
    g_signal_connect(item, "activate", G_CALLBACK(Callbacks::on_menu_item), this);
    gtk_menu_shell_append(GTK_MENU_SHELL(tray_menu_.get()), item);
    menu_items_.push_back(item);
  };
  for (const Text& label : design.menu) add(gtk_menu_item_new_with_label(utf8(label).c_str()));
  gtk_menu_shell_append(GTK_MENU_SHELL(tray_menu_.get()), gtk_separator_menu_item_new());
  for (const Text& label : design.menu_checks) {
    add(gtk_check_menu_item_new_with_label(utf8(label).c_str()));
  }
  gtk_widget_show_all(tray_menu_.get());
}

void GtkUi::build_status_icon() {
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  // Made with its picture and shown at once: a status icon made empty and
  // hidden, then given a picture and shown, has its tray plug resized while
  // GDK holds no freeze for it, which GDK reports as a critical error.
  tray_ = GObjectPtr<GtkStatusIcon>::adopt(gtk_status_icon_new_from_pixbuf(window_icon_.get()));
  g_signal_connect(tray_.get(), "activate", G_CALLBACK(Callbacks::on_tray_activate), this);
  g_signal_connect(tray_.get(), "button-press-event", G_CALLBACK(Callbacks::on_tray_button), this);
  g_signal_connect(tray_.get(), "popup-menu", G_CALLBACK(Callbacks::on_tray_menu), this);
  G_GNUC_END_IGNORE_DEPRECATIONS
}

// A small button at the main window's top right corner, over the page,
// opens the tray's menu: without a tray the agent can still reach every
// command (and quit).
void GtkUi::build_command_button() {
  Window* f = window(Form::Main);
  if (f == nullptr || f->overlay == nullptr) return;
  GtkWidget* button = gtk_menu_button_new();
  gtk_widget_set_name(button, "quorvel-commands");
  gtk_button_set_label(GTK_BUTTON(button), "\xe2\x98\xb0");  // ☰
  gtk_widget_set_tooltip_text(button, "\xe8\x8f\x9c\xe5\x8d\x95");  // 菜单
  gtk_menu_button_set_popup(GTK_MENU_BUTTON(button), tray_menu_.get());
  gtk_widget_set_halign(button, GTK_ALIGN_END);
  gtk_widget_set_valign(button, GTK_ALIGN_START);
  gtk_widget_set_margin_top(button, 2);
  gtk_widget_set_margin_end(button, 2);
  gtk_overlay_add_overlay(GTK_OVERLAY(f->overlay), button);
  gtk_widget_show(button);
}

bool GtkUi::tray_shown() const {
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  return tray_kind_ == TrayKind::Notifier ||
         (tray_kind_ == TrayKind::StatusIcon && gtk_status_icon_is_embedded(tray_.get()));
  G_GNUC_END_IGNORE_DEPRECATIONS
}

void GtkUi::run() {
  if (quit_requested_) return;
  running_ = true;
  gtk_main();
  running_ = false;
}

void GtkUi::quit() {
  quit_requested_ = true;
  if (running_) gtk_main_quit();
}

std::unique_ptr<app::FormEntry> GtkUi::new_form() {
  return std::make_unique<Window>();
}

std::unique_ptr<app::ControlEntry> GtkUi::new_control() {
  return std::make_unique<Widget>();
}

GtkUi::Window* GtkUi::window(Form form) const {
  return static_cast<Window*>(form_entry(form));
}

void GtkUi::build_control(Window& f, Widget& c) {
  const app::ControlDesign& d = c.design;
  GtkWidget* parent = f.fixed;
  if (!d.container.empty()) {
    auto* container = static_cast<Widget*>(f.control(d.container));
    if (container != nullptr && container->inner != nullptr) parent = container->inner;
  }
  switch (d.kind) {
    case app::ControlKind::Timer:
      c.timer.reset(g_timeout_add_full(G_PRIORITY_DEFAULT, static_cast<guint>(d.interval_ms),
                                       Callbacks::on_tick, new ControlEvent{this, f.form, d.name},
                                       free_event_notify));
      return;
    case app::ControlKind::Board:
      c.widget = gtk_fixed_new();
      c.inner = c.widget;
      break;
    case app::ControlKind::Edit:
      c.widget = gtk_entry_new();
      connect(c.widget, "activate", G_CALLBACK(Callbacks::on_activate), this, f.form, d.name);
      connect(c.widget, "button-press-event", G_CALLBACK(Callbacks::on_press), this, f.form,
              d.name);
      connect(c.widget, "key-press-event", G_CALLBACK(Callbacks::on_entry_key), this, f.form,
              d.name);
      break;
    case app::ControlKind::ContentLabel:
      // A label has no window of its own: a box around it takes the clicks.
      c.widget = gtk_event_box_new();
      c.text = make_label(d);
      gtk_container_add(GTK_CONTAINER(c.widget), c.text);
      connect(c.widget, "button-press-event", G_CALLBACK(Callbacks::on_press), this, f.form,
              d.name);
      break;
    case app::ControlKind::Button:
      c.widget = gtk_button_new_with_label(utf8(d.text).c_str());
      connect(c.widget, "clicked", G_CALLBACK(Callbacks::on_clicked), this, f.form, d.name);
      break;
    case app::ControlKind::GroupBox:
      c.widget = gtk_frame_new(utf8(d.text).c_str());
      c.inner = gtk_fixed_new();
      gtk_container_add(GTK_CONTAINER(c.widget), c.inner);
      break;
    default:
      c.widget = make_label(d);
      break;
  }
  if (c.text == nullptr) c.text = c.widget;
  gtk_widget_set_name(c.widget, utf8(d.name).c_str());
  gtk_fixed_put(GTK_FIXED(parent), c.widget, c.rect.left, c.rect.top);
  gtk_widget_set_size_request(c.widget, std::max(c.rect.width, 1), std::max(c.rect.height, 1));
}

void GtkUi::build_form(Form form) {
  const app::FormDesign& d = app::form_design(form);
  auto& f = static_cast<Window&>(add_form(form));
  f.owner = this;
  f.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWindow* window = GTK_WINDOW(f.window);
  gtk_window_set_title(window, utf8(d.caption).c_str());
  gtk_window_set_default_size(window, d.rect.width, d.rect.height);
  gtk_window_set_resizable(window, d.resizable ? TRUE : FALSE);
  // The notice is always placed by its layout.
  gtk_window_set_position(window, form == Form::Notice ? GTK_WIN_POS_NONE : GTK_WIN_POS_CENTER);
  if (form == Form::Notice) {
    gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_UTILITY);
    gtk_window_set_skip_taskbar_hint(window, TRUE);
  }
  // Controls may reach past the window's edge, as designed ones do until
  // the first resize lays them out: a viewport that never scrolls clips them
  // instead of growing the window.
  GtkWidget* clip = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(clip), GTK_POLICY_EXTERNAL,
                                 GTK_POLICY_EXTERNAL);
  gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(clip), GTK_SHADOW_NONE);
  if (!d.resizable) {
    gtk_widget_set_size_request(clip, d.rect.width, d.rect.height);
    f.clip = clip;
  }
  f.fixed = gtk_fixed_new();
  gtk_container_add(GTK_CONTAINER(clip), f.fixed);
  f.overlay = gtk_overlay_new();
  gtk_container_add(GTK_CONTAINER(f.overlay), clip);
  gtk_container_add(GTK_CONTAINER(f.window), f.overlay);
  for (const auto& c : f.controls) build_control(f, static_cast<Widget&>(*c));

  g_signal_connect(f.window, "delete-event", G_CALLBACK(Callbacks::on_delete), &f);
  g_signal_connect(f.window, "key-press-event", G_CALLBACK(Callbacks::on_key), &f);
  g_signal_connect(f.window, "configure-event", G_CALLBACK(Callbacks::on_configure), &f);
  g_signal_connect(f.window, "window-state-event", G_CALLBACK(Callbacks::on_window_state), &f);
  g_signal_connect(f.window, "focus-in-event", G_CALLBACK(Callbacks::on_focus), &f);
}

void GtkUi::load(Form form, bool modal) {
  if (exists(form)) return;
  build_form(form);
  Window& f = *window(form);
  gtk_window_set_modal(GTK_WINDOW(f.window), modal ? TRUE : FALSE);
  gtk_window_get_position(GTK_WINDOW(f.window), &f.want_left, &f.want_top);
  gtk_window_get_size(GTK_WINDOW(f.window), &f.want_width, &f.want_height);
  // The first report after showing counts as a move and a resize, as a
  // new window's first placement does on Windows.
  f.last_left = f.last_top = f.last_width = f.last_height = -1;
  // The creation handler places and sizes the window before it is mapped:
  // mapped first at its designed size, it would report that size before
  // the stored one, and a handler would store it.
  gtk_widget_show_all(gtk_bin_get_child(GTK_BIN(f.window)));
  if (events() != nullptr) events()->on_created(form);
  if (!exists(form)) return;
  if (app::form_design(form).visible_at_load) gtk_widget_show(f.window);
  if (!modal) return;
  // A modal form holds its caller until it is destroyed.
  MainLoopPtr loop(g_main_loop_new(nullptr, FALSE));
  f.modal_loop = loop.get();
  g_main_loop_run(loop.get());
}

void GtkUi::destroy(Form form) {
  std::unique_ptr<app::FormEntry> entry = take_form(form);
  if (!entry) return;
  auto& f = static_cast<Window&>(*entry);
  if (f.modal_loop != nullptr) g_main_loop_quit(f.modal_loop);
  // The timers and the pending geometry check go with their entries.
  gtk_widget_destroy(f.window);
}

int GtkUi::form_property(const app::FormEntry& entry, Property p) const {
  const auto& f = static_cast<const Window&>(entry);
  GtkWindow* window = GTK_WINDOW(f.window);
  int a = 0, b = 0;
  switch (p) {
    case Property::Visible:
      return gtk_widget_get_visible(f.window) ? 1 : 0;
    case Property::Left:
    case Property::Top:
      gtk_window_get_position(window, &a, &b);
      return p == Property::Left ? a : b;
    case Property::Width:
    case Property::Height:
      gtk_window_get_size(window, &a, &b);
      return p == Property::Width ? a : b;
    default:
      return 0;
  }
}

void GtkUi::set_form_property(app::FormEntry& entry, Property p, int value) {
  auto& f = static_cast<Window&>(entry);
  GtkWindow* window = GTK_WINDOW(f.window);
  switch (p) {
    case Property::Visible:
      if (value != 0) {
        // A hidden window is mapped where it was last placed, not where
        // the toolkit would put it anew.
        if (!gtk_widget_get_visible(f.window)) gtk_window_move(window, f.want_left, f.want_top);
        gtk_widget_show(f.window);
      } else if (f.form == Form::Main && !tray_shown()) {
        // Without a tray to come back from, hiding would lose the window.
        gtk_window_iconify(window);
      } else {
        gtk_widget_hide(f.window);
      }
      break;
    case Property::TopMost:
      gtk_window_set_keep_above(window, f.top_most);
      break;
    case Property::State:
      if (value == static_cast<int>(app::WindowState::Minimised)) {
        gtk_window_iconify(window);
      } else {
        gtk_window_deiconify(window);
        if (value == static_cast<int>(app::WindowState::Maximised)) {
          gtk_window_maximize(window);
        } else {
          gtk_window_unmaximize(window);
        }
      }
      break;
    case Property::Left:
      f.want_left = value;
      gtk_window_move(window, f.want_left, f.want_top);
      break;
    case Property::Top:
      f.want_top = value;
      gtk_window_move(window, f.want_left, f.want_top);
      break;
    case Property::Width:
    case Property::Height:
      (p == Property::Width ? f.want_width : f.want_height) = std::max(value, 1);
      // A fixed-size form is as large as its content asks.
      if (f.clip != nullptr) gtk_widget_set_size_request(f.clip, f.want_width, f.want_height);
      gtk_window_resize(window, f.want_width, f.want_height);
      break;
  }
}

bool GtkUi::control_visible(const app::ControlEntry& entry) const {
  const auto& c = static_cast<const Widget&>(entry);
  return c.widget != nullptr && gtk_widget_get_visible(c.widget);
}

void GtkUi::set_control_visible(app::FormEntry&, app::ControlEntry& entry, bool visible) {
  auto& c = static_cast<Widget&>(entry);
  if (c.widget != nullptr) gtk_widget_set_visible(c.widget, visible);
}

void GtkUi::place_control(app::FormEntry&, app::ControlEntry& entry) {
  auto& c = static_cast<Widget&>(entry);
  if (c.widget == nullptr) return;
  GtkWidget* parent = gtk_widget_get_parent(c.widget);
  if (GTK_IS_FIXED(parent)) gtk_fixed_move(GTK_FIXED(parent), c.widget, c.rect.left, c.rect.top);
  gtk_widget_set_size_request(c.widget, std::max(c.rect.width, 1), std::max(c.rect.height, 1));
}

Text GtkUi::native_text(const app::FormEntry& entry, const app::ControlEntry* control) const {
  if (control == nullptr) {
    const char* title = gtk_window_get_title(GTK_WINDOW(static_cast<const Window&>(entry).window));
    return from_utf8(title != nullptr ? title : "");
  }
  GtkWidget* w = static_cast<const Widget*>(control)->text;
  if (w == nullptr) return {};
  if (GTK_IS_ENTRY(w)) return from_utf8(gtk_entry_get_text(GTK_ENTRY(w)));
  if (GTK_IS_LABEL(w)) return from_utf8(gtk_label_get_text(GTK_LABEL(w)));
  const char* label = GTK_IS_BUTTON(w)  ? gtk_button_get_label(GTK_BUTTON(w))
                      : GTK_IS_FRAME(w) ? gtk_frame_get_label(GTK_FRAME(w))
                                        : nullptr;
  return from_utf8(label != nullptr ? label : "");
}

void GtkUi::set_native_text(app::FormEntry& entry, app::ControlEntry* control,
                            std::string_view value) {
  const std::string text = utf8(value);
  if (control == nullptr) {
    gtk_window_set_title(GTK_WINDOW(static_cast<Window&>(entry).window), text.c_str());
    return;
  }
  GtkWidget* w = static_cast<Widget*>(control)->text;
  if (w == nullptr) return;
  if (GTK_IS_ENTRY(w)) {
    gtk_entry_set_text(GTK_ENTRY(w), text.c_str());
  } else if (GTK_IS_LABEL(w)) {
    gtk_label_set_text(GTK_LABEL(w), text.c_str());
  } else if (GTK_IS_BUTTON(w)) {
    gtk_button_set_label(GTK_BUTTON(w), text.c_str());
  } else if (GTK_IS_FRAME(w)) {
    gtk_frame_set_label(GTK_FRAME(w), text.c_str());
  }
}

std::intptr_t GtkUi::native_widget(const app::ControlEntry& entry) const {
  return reinterpret_cast<std::intptr_t>(static_cast<const Widget&>(entry).widget);
}

void GtkUi::focus(Form form) {
  if (Window* f = window(form)) gtk_window_present(GTK_WINDOW(f->window));
}

void GtkUi::set_tray(app::TrayPicture picture, std::string_view tip) {
  if (picture != app::TrayPicture::None && tray_kind_ == TrayKind::Undecided) build_tray();
  if (notifier_) {
    // The host shows the alert picture itself while attention is asked.
    notifier_->set_visible(picture != app::TrayPicture::None);
    if (picture != app::TrayPicture::None) notifier_->set_tip(utf8(tip));
    return;
  }
  if (!tray_) return;
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  if (picture == app::TrayPicture::None) {
    gtk_status_icon_set_visible(tray_.get(), FALSE);
    return;
  }
  gtk_status_icon_set_from_pixbuf(
      tray_.get(), picture == app::TrayPicture::Alternate ? alert_icon_.get() : window_icon_.get());
  gtk_status_icon_set_tooltip_text(tray_.get(), utf8(tip).c_str());
  gtk_status_icon_set_title(tray_.get(), utf8(tip).c_str());
  gtk_status_icon_set_visible(tray_.get(), TRUE);
  G_GNUC_END_IGNORE_DEPRECATIONS
}

void GtkUi::set_tray_attention(bool attention) {
  if (notifier_) notifier_->set_attention(attention);
}

void GtkUi::set_menu_check(int item, bool checked) {
  if (notifier_) notifier_->set_checked(item, checked);
  if (item < 0 || static_cast<std::size_t>(item) >= menu_items_.size() ||
      !GTK_IS_CHECK_MENU_ITEM(menu_items_[item])) {
    return;
  }
  // Setting the check activates the item, which is not the agent's choice.
  setting_check_ = true;
  gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(menu_items_[item]), checked);
  setting_check_ = false;
}

void GtkUi::set_urgent(Form form, bool urgent) {
  if (Window* f = window(form)) gtk_window_set_urgency_hint(GTK_WINDOW(f->window), urgent);
}

bool GtkUi::is_active(Form form) const {
  Window* f = window(form);
  return f != nullptr && gtk_window_is_active(GTK_WINDOW(f->window));
}

void GtkUi::popup_tray_menu(app::Point at) {
  if (!tray_menu_) return;
  static app::Point where;
  where = at;
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gtk_menu_popup(GTK_MENU(tray_menu_.get()), nullptr, nullptr, Callbacks::position_menu, &where, 0,
                 gtk_get_current_event_time());
  G_GNUC_END_IGNORE_DEPRECATIONS
}

app::Point GtkUi::pointer() const {
  GdkDisplay* display = gdk_display_get_default();
  GdkSeat* seat = display != nullptr ? gdk_display_get_default_seat(display) : nullptr;
  GdkDevice* device = seat != nullptr ? gdk_seat_get_pointer(seat) : nullptr;
  app::Point p;
  if (device != nullptr) gdk_device_get_position(device, nullptr, &p.x, &p.y);
  return p;
}

std::vector<app::Monitor> GtkUi::monitors() const {
  std::vector<app::Monitor> out;
  GdkDisplay* display = gdk_display_get_default();
  if (display == nullptr) return out;
  GdkMonitor* primary = gdk_display_get_primary_monitor(display);
  const int count = gdk_display_get_n_monitors(display);
  for (int i = 0; i < count; ++i) {
    GdkMonitor* monitor = gdk_display_get_monitor(display, i);
    GdkRectangle r, w;
    gdk_monitor_get_geometry(monitor, &r);
    gdk_monitor_get_workarea(monitor, &w);
    const app::Monitor m{{r.x, r.y, r.width, r.height}, {w.x, w.y, w.width, w.height}};
    if (monitor == primary) {
      out.insert(out.begin(), m);
    } else {
      out.push_back(m);
    }
  }
  return out;
}

int GtkUi::message_box(std::string_view text, std::string_view caption, app::Buttons buttons) {
  GtkWidget* dialog =
      gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL,
                             buttons == app::Buttons::Ok ? GTK_MESSAGE_INFO : GTK_MESSAGE_QUESTION,
                             buttons == app::Buttons::Ok ? GTK_BUTTONS_OK : GTK_BUTTONS_OK_CANCEL,
                             "%s", utf8(text).c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), utf8(caption).c_str());
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  // A nested loop: timers and page events go on while the box shows.
  open_boxes_.push_back(dialog);
  const int response = gtk_dialog_run(GTK_DIALOG(dialog));
  open_boxes_.pop_back();
  gtk_widget_destroy(dialog);
  return response == GTK_RESPONSE_OK ? app::kAnswerOk : app::kAnswerCancel;
}

app::Ui::PermissionAnswer GtkUi::ask_permission(std::string_view question) {
  Window* owner = window(Form::Main);
  GtkWidget* dialog = gtk_message_dialog_new(
      owner != nullptr ? GTK_WINDOW(owner->window) : nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_QUESTION,
      GTK_BUTTONS_NONE, "%s", utf8(question).c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), utf8(app::names().info_caption).c_str());
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  gtk_dialog_add_buttons(GTK_DIALOG(dialog), "拒绝", GTK_RESPONSE_REJECT, "允许", GTK_RESPONSE_ACCEPT,
                         nullptr);
  GtkWidget* remember = gtk_check_button_new_with_label("记住此选择");
  gtk_container_add(GTK_CONTAINER(gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog))),
                    remember);
  gtk_widget_show(remember);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_REJECT);
  // The keyboard starts at the check, then Tab goes to 拒绝 and 允许.
  gtk_widget_realize(dialog);
  gtk_widget_grab_focus(remember);
  open_boxes_.push_back(dialog);
  const int response = gtk_dialog_run(GTK_DIALOG(dialog));
  open_boxes_.pop_back();
  PermissionAnswer answer;
  answer.allow = response == GTK_RESPONSE_ACCEPT;
  // A closed box is no answer to remember.
  answer.remember = (response == GTK_RESPONSE_ACCEPT || response == GTK_RESPONSE_REJECT) &&
                    gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(remember)) != FALSE;
  gtk_widget_destroy(dialog);
  return answer;
}

void GtkUi::focus_control(Form form, std::string_view control) {
  Window* f = window(form);
  auto* c = f != nullptr ? static_cast<Widget*>(f->control(control)) : nullptr;
  if (c == nullptr || c->widget == nullptr) return;
  // A board takes no focus itself: the page in it does.
  if (c->design.kind == app::ControlKind::Board) {
    gtk_widget_child_focus(c->widget, GTK_DIR_TAB_FORWARD);
  } else {
    gtk_widget_grab_focus(c->widget);
  }
}

Text GtkUi::ask_save_path(std::string_view suggested) {
  const std::string path = utf8(suggested);
  GtkWidget* dialog = gtk_file_chooser_dialog_new(
      "保存文件", nullptr, GTK_FILE_CHOOSER_ACTION_SAVE, "取消", GTK_RESPONSE_CANCEL, "保存",
      GTK_RESPONSE_ACCEPT, nullptr);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
  char* folder = g_path_get_dirname(path.c_str());
  char* name = g_path_get_basename(path.c_str());
  gtk_file_chooser_set_current_folder(chooser, folder);
  gtk_file_chooser_set_current_name(chooser, name);
  g_free(folder);
  g_free(name);
  if (Window* owner = window(Form::Main)) {
    gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(owner->window));
  }
  open_boxes_.push_back(dialog);
  const int response = gtk_dialog_run(GTK_DIALOG(dialog));
  open_boxes_.pop_back();
  Text chosen;
  if (response == GTK_RESPONSE_ACCEPT) {
    char* file = gtk_file_chooser_get_filename(chooser);
    if (file != nullptr) chosen = from_utf8(file);
    g_free(file);
  }
  gtk_widget_destroy(dialog);
  return chosen;
}

void GtkUi::raise_message_box() {
  if (!open_boxes_.empty()) gtk_window_present(GTK_WINDOW(open_boxes_.back()));
}

int GtkUi::show_timed_message(const app::TimedMessage& message) {
  GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_INFO,
                                             GTK_BUTTONS_OK, "%s", utf8(message.text).c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), utf8(message.caption).c_str());
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  if (Window* owner = window(exists(Form::Join) ? Form::Join : Form::Main)) {
    gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(owner->window));
  }
  SourceId timer(g_timeout_add(static_cast<guint>(std::max(message.timeout_ms, 0)),
                               Callbacks::close_timed, dialog));
  const int response = gtk_dialog_run(GTK_DIALOG(dialog));
  // The timer ended itself when it closed the box.
  if (response == GTK_RESPONSE_NONE) static_cast<void>(timer.release());
  gtk_widget_destroy(dialog);
  // The platform's answer minus 1: OK is 1, a timeout 32000.
  return response == GTK_RESPONSE_NONE ? 31999 : 0;
}

}  // namespace quorvel::gtk
