#include "gtk/gtk_ui.h"

#include <glib-unix.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "app/forms.h"
#include "gtk/display_lost.h"

namespace quorvel::embedded {
extern const unsigned char icon_window_32[], icon_window_64[], icon_alert_64[];
extern const std::size_t icon_window_32_size, icon_window_64_size, icon_alert_64_size;
}  // namespace quorvel::embedded

namespace quorvel::gtk {

using app::Form;
using app::Property;
using app::TextProperty;

struct GtkUi::Control {
  app::ControlDesign design;
  GtkWidget* widget = nullptr;  // null for a timer
  GtkWidget* inner = nullptr;   // a container's own fixed area
  GtkWidget* text = nullptr;    // what shows the control's text
  app::Rect rect;
  Text tag;
  guint timer = 0;
};

struct GtkUi::FormState {
  Form form;
  GtkWidget* window = nullptr;
  GtkWidget* fixed = nullptr;
  GtkWidget* clip = nullptr;  // holds a fixed-size form at its size
  std::map<Text, std::unique_ptr<Control>> controls;
  Text tag;
  bool top_most = false;
  int state = 0;  // 0 normal, 2 minimised, 3 maximised
  int last_left = 0, last_top = 0, last_width = 0, last_height = 0;
  // The place and size asked for last: the toolkit reports a move only once
  // the window manager made it, so a second change must not start from the
  // stale report.
  int want_left = 0, want_top = 0, want_width = 0, want_height = 0;
  guint geometry_check = 0;
  GMainLoop* modal_loop = nullptr;
  GtkUi* owner = nullptr;
};

namespace {

GdkPixbuf* pixbuf_from(const unsigned char* data, std::size_t size) {
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
  GdkPixbuf* result = nullptr;
  if (gdk_pixbuf_loader_write(loader, data, size, nullptr) &&
      gdk_pixbuf_loader_close(loader, nullptr)) {
    result = gdk_pixbuf_loader_get_pixbuf(loader);
    if (result != nullptr) g_object_ref(result);
  }
  g_object_unref(loader);
  return result;
}

std::string utf8(std::string_view text) {
  return to_utf8(text);
}

void place(GtkWidget* fixed, GtkWidget* widget, const app::Rect& r) {
  gtk_fixed_put(GTK_FIXED(fixed), widget, r.left, r.top);
  gtk_widget_set_size_request(widget, std::max(r.width, 1), std::max(r.height, 1));
}

void add_css(GtkWidget* widget, const char* css) {
  GtkCssProvider* provider = gtk_css_provider_new();
  gtk_css_provider_load_from_data(provider, css, -1, nullptr);
  gtk_style_context_add_provider(gtk_widget_get_style_context(widget),
                                 GTK_STYLE_PROVIDER(provider),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(provider);
}

// The width of one character as a wrapping label counts it, in pixels.
int char_pixels(PangoContext* context, const PangoFontDescription* font) {
  PangoFontMetrics* metrics =
      pango_context_get_metrics(context, font, pango_context_get_language(context));
  const int width = std::max(pango_font_metrics_get_approximate_char_width(metrics),
                             pango_font_metrics_get_approximate_digit_width(metrics));
  pango_font_metrics_unref(metrics);
  return std::max(PANGO_PIXELS(width), 1);
}

// The designed places and sizes assume the design's own small font: a
// label whose text does not fit its rectangle at the desktop's font size
// gets a smaller one, down to 8 pixels, and wraps where its rectangle ends,
// so that no line hides behind the next control. A label measures its
// characters with its style's font, so the wrapping width is counted in
// those; the smaller size is an attribute of the text.
void fit_label(GtkWidget* label, const app::Rect& r) {
  PangoContext* context = gtk_widget_get_pango_context(label);
  PangoFontDescription* font =
      pango_font_description_copy(pango_context_get_font_description(context));
  const int pixels = char_pixels(context, font);
  const int chars = std::max(1, r.width / pixels);
  const double start = pango_font_description_get_size(font) / double(PANGO_SCALE) *
                       (pango_font_description_get_size_is_absolute(font) ? 1.0 : 96.0 / 72.0);
  const char* text = gtk_label_get_text(GTK_LABEL(label));
  double px = start;
  for (;; px -= 0.5) {
    pango_font_description_set_absolute_size(font, px * PANGO_SCALE);
    PangoLayout* layout = pango_layout_new(context);
    pango_layout_set_font_description(layout, font);
    pango_layout_set_text(layout, text, -1);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_width(layout, chars * pixels * PANGO_SCALE);
    int width = 0, height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    g_object_unref(layout);
    if ((height <= r.height && width <= r.width) || px <= 8) break;
  }
  pango_font_description_free(font);
  if (px < start) {
    PangoAttrList* attributes = pango_attr_list_new();
    pango_attr_list_insert(attributes,
                           pango_attr_size_new_absolute(static_cast<int>(px * PANGO_SCALE)));
    gtk_label_set_attributes(GTK_LABEL(label), attributes);
    pango_attr_list_unref(attributes);
  }
  gtk_label_set_max_width_chars(GTK_LABEL(label), chars);
}

GtkWidget* make_label(const app::ControlDesign& c) {
  GtkWidget* label = gtk_label_new(utf8(c.text).c_str());
  gtk_label_set_xalign(GTK_LABEL(label), 0);
  gtk_label_set_yalign(GTK_LABEL(label), 0);
  switch (c.kind) {
    case app::ControlKind::TransparentLabel:
      // One line, drawn whole whatever its count of digits.
      return label;
    case app::ControlKind::BoldLabel:
      add_css(label, "label { font-weight: bold; font-size: 16px; }");
      break;
    case app::ControlKind::ContentLabel:
      add_css(label, "label { font-family: SimSun, \"Noto Sans CJK SC\", sans-serif; font-size: 14px; }");
      break;
    default:
      break;
  }
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD_CHAR);
  if (c.kind == app::ControlKind::ContentLabel) {
    // The conversation's height is the layout formula's business.
    const int chars = std::max(1, c.rect.width / 8);
    gtk_label_set_width_chars(GTK_LABEL(label), chars);
    gtk_label_set_max_width_chars(GTK_LABEL(label), chars);
  } else {
    fit_label(label, c.rect);
  }
  return label;
}

}  // namespace

// The toolkit's signals, turned into the client's events.
struct Callbacks {
  static GtkUi::FormState& form_of(gpointer data) { return *static_cast<GtkUi::FormState*>(data); }

  static gboolean on_delete(GtkWidget*, GdkEvent*, gpointer data) {
    GtkUi::FormState& f = form_of(data);
    GtkUi& ui = *f.owner;
    if (ui.client_ != nullptr && !ui.client_->on_close_request(f.form)) return TRUE;
    ui.destroy(f.form);
    return TRUE;
  }

  // Escape requests a close, as designed, except while the focus is in a
  // drawing board: the page in it owns its keys (Escape closes its own
  // pop-ups), and this handler runs before the focused widget sees them.
  static gboolean on_key(GtkWidget* widget, GdkEventKey* event, gpointer data) {
    if (event->keyval != GDK_KEY_Escape) return FALSE;
    GtkUi::FormState& f = form_of(data);
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(f.window));
    if (focus != nullptr) {
      for (const auto& [name, c] : f.controls) {
        if (c->design.kind != app::ControlKind::Board || c->widget == nullptr) continue;
        if (focus == c->widget || gtk_widget_is_ancestor(focus, c->widget)) return FALSE;
      }
    }
    return on_delete(widget, nullptr, data);
  }

  // Position and size are read once the configure burst is over.
  static gboolean check_geometry(gpointer data) {
    GtkUi::FormState& f = form_of(data);
    f.geometry_check = 0;
    int left = 0, top = 0, width = 0, height = 0;
    gtk_window_get_position(GTK_WINDOW(f.window), &left, &top);
    gtk_window_get_size(GTK_WINDOW(f.window), &width, &height);
    const bool moved = left != f.last_left || top != f.last_top;
    const bool resized = width != f.last_width || height != f.last_height;
    f.last_left = f.want_left = left;
    f.last_top = f.want_top = top;
    f.last_width = f.want_width = width;
    f.last_height = f.want_height = height;
    app::Client* client = f.owner->client_;
    if (client == nullptr) return G_SOURCE_REMOVE;
    if (resized) client->on_resized(f.form);
    if (moved) client->on_moved(f.form);
    return G_SOURCE_REMOVE;
  }

  static gboolean on_configure(GtkWidget*, GdkEvent*, gpointer data) {
    GtkUi::FormState& f = form_of(data);
    if (f.geometry_check == 0) f.geometry_check = g_idle_add(check_geometry, data);
    return FALSE;
  }

  static gboolean on_window_state(GtkWidget*, GdkEventWindowState* event, gpointer data) {
    GtkUi::FormState& f = form_of(data);
    const GdkWindowState s = event->new_window_state;
    const int state = (s & GDK_WINDOW_STATE_ICONIFIED) != 0   ? 2
                      : (s & GDK_WINDOW_STATE_MAXIMIZED) != 0 ? 3
                                                              : 0;
    if (state == f.state) return FALSE;
    f.state = state;
    // A restore or a maximise moves the window as far as the handlers are
    // concerned: they store the new state with the place.
    if (state != 2 && f.owner->client_ != nullptr) f.owner->client_->on_moved(f.form);
    return FALSE;
  }

  static gboolean on_focus(GtkWidget*, GdkEvent*, gpointer data) {
    GtkUi::FormState& f = form_of(data);
    if (f.owner->client_ != nullptr) f.owner->client_->on_focus(f.form);
    return FALSE;
  }

  struct ControlEvent {
    GtkUi* ui;
    Form form;
    Text name;
  };

  static void on_clicked(GtkButton*, gpointer data) {
    auto* e = static_cast<ControlEvent*>(data);
    if (e->ui->client_ != nullptr) e->ui->client_->on_click(e->form, e->name);
  }

  static void on_activate(GtkEntry*, gpointer data) {
    auto* e = static_cast<ControlEvent*>(data);
    if (e->ui->client_ != nullptr) e->ui->client_->on_key(e->form, e->name, 13);
  }

  // Every other key typed into an edit box, by its character (or key value
  // when it has none); Enter comes through the activation above.
  static gboolean on_entry_key(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto* e = static_cast<ControlEvent*>(data);
    const guint key = event->keyval;
    if (e->ui->client_ == nullptr || key == GDK_KEY_Return || key == GDK_KEY_KP_Enter) {
      return FALSE;
    }
    const guint32 character = gdk_keyval_to_unicode(key);
    e->ui->client_->on_key(e->form, e->name, static_cast<int>(character != 0 ? character : key));
    return FALSE;
  }

  static gboolean on_press(GtkWidget*, GdkEventButton* event, gpointer data) {
    auto* e = static_cast<ControlEvent*>(data);
    if (e->ui->client_ == nullptr || event->button != 1) return FALSE;
    if (event->type == GDK_2BUTTON_PRESS) {
      e->ui->client_->on_double_click(e->form, e->name);
    } else if (event->type == GDK_BUTTON_PRESS) {
      e->ui->client_->on_press(e->form, e->name);
    }
    return FALSE;  // the control still gets the press (focus, caret)
  }

  static gboolean on_tick(gpointer data) {
    auto* e = static_cast<ControlEvent*>(data);
    if (e->ui->client_ != nullptr) e->ui->client_->on_timer(e->form, e->name);
    return G_SOURCE_CONTINUE;
  }

  static void free_event(gpointer data, GClosure*) { delete static_cast<ControlEvent*>(data); }
  static void free_event_notify(gpointer data) { delete static_cast<ControlEvent*>(data); }

  static void on_tray_activate(GtkStatusIcon*, gpointer data) {
    auto* ui = static_cast<GtkUi*>(data);
    if (ui->client_ != nullptr) ui->client_->on_tray(app::kTrayLeftUp);
  }

  static gboolean on_tray_button(GtkStatusIcon*, GdkEventButton* event, gpointer data) {
    auto* ui = static_cast<GtkUi*>(data);
    if (event->type == GDK_2BUTTON_PRESS && event->button == 1 && ui->client_ != nullptr) {
      ui->client_->on_tray(app::kTrayDoubleClick);
      return TRUE;
    }
    return FALSE;
  }

  static void on_tray_menu(GtkStatusIcon*, guint, guint, gpointer data) {
    auto* ui = static_cast<GtkUi*>(data);
    if (ui->client_ != nullptr) ui->client_->on_tray(app::kTrayRightUp);
  }

  static void on_menu_item(GtkMenuItem* item, gpointer data) {
    auto* ui = static_cast<GtkUi*>(data);
    const int index = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), "quorvel-index"));
    if (ui->client_ != nullptr) ui->client_->on_menu(index);
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

gboolean on_end_signal(gpointer data) {
  static_cast<GtkUi*>(data)->quit_for_session();
  return G_SOURCE_REMOVE;
}

}  // namespace

void GtkUi::handle_end_of_session() {
  for (const int signal : {SIGTERM, SIGHUP, SIGINT}) g_unix_signal_add(signal, on_end_signal, this);
  exit_when_display_is_lost();
}

void GtkUi::quit_for_session() {
  if (client_ != nullptr) {
    client_->end_session();
    return;
  }
  quit();
}

GtkUi::GtkUi() {
  // The 64-pixel pictures keep the tray sharp at twice the scale.
  window_icon_ = GObjectPtr<GdkPixbuf>::adopt(
      pixbuf_from(embedded::icon_window_64, embedded::icon_window_64_size));
  alert_icon_ = GObjectPtr<GdkPixbuf>::adopt(
      pixbuf_from(embedded::icon_alert_64, embedded::icon_alert_64_size));
  GList* icons = nullptr;
  GdkPixbuf* small = pixbuf_from(embedded::icon_window_32, embedded::icon_window_32_size);
  if (small != nullptr) icons = g_list_append(icons, small);
  icons = g_list_append(icons, window_icon_.get());
  gtk_window_set_default_icon_list(icons);
  g_list_free(icons);
  if (small != nullptr) g_object_unref(small);
  // The tray is built when it is first shown: creating the status icon
  // costs a round of X requests that would otherwise delay the page's load.
}

GtkUi::~GtkUi() {
  for (auto& [form, f] : forms_) {
    for (auto& [name, c] : f->controls) {
      if (c->timer != 0) g_source_remove(c->timer);
    }
    if (f->geometry_check != 0) g_source_remove(f->geometry_check);
    gtk_widget_destroy(f->window);
  }
}

void GtkUi::build_tray() {
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  // Made with its picture and shown at once: a status icon made empty and
  // hidden, then given a picture and shown, has its tray plug resized while
  // GDK holds no freeze for it, which GDK reports as a critical error.
  tray_ = GObjectPtr<GtkStatusIcon>::adopt(gtk_status_icon_new_from_pixbuf(window_icon_.get()));
  g_signal_connect(tray_.get(), "activate", G_CALLBACK(Callbacks::on_tray_activate), this);
  g_signal_connect(tray_.get(), "button-press-event", G_CALLBACK(Callbacks::on_tray_button), this);
  g_signal_connect(tray_.get(), "popup-menu", G_CALLBACK(Callbacks::on_tray_menu), this);
  G_GNUC_END_IGNORE_DEPRECATIONS
  tray_menu_ = GObjectPtr<GtkWidget>::share(gtk_menu_new());
  const auto& items = app::form_design(Form::Main).menu;
  for (std::size_t i = 0; i < items.size(); ++i) {
    GtkWidget* item = gtk_menu_item_new_with_label(utf8(items[i]).c_str());
    g_object_set_data(G_OBJECT(item), "quorvel-index", GINT_TO_POINTER(static_cast<int>(i)));
    g_signal_connect(item, "activate", G_CALLBACK(Callbacks::on_menu_item), this);
    gtk_menu_shell_append(GTK_MENU_SHELL(tray_menu_.get()), item);
  }
  gtk_widget_show_all(tray_menu_.get());
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

GtkUi::FormState* GtkUi::state(Form form) const {
  const auto found = forms_.find(form);
  return found == forms_.end() ? nullptr : found->second.get();
}

GtkUi::Control* GtkUi::control(Form form, std::string_view name) const {
  FormState* f = state(form);
  if (f == nullptr) return nullptr;
  const auto found = f->controls.find(Text(name));
  return found == f->controls.end() ? nullptr : found->second.get();
}

void GtkUi::build_form(Form form) {
  const app::FormDesign& d = app::form_design(form);
  auto f = std::make_unique<FormState>();
  f->form = form;
  f->owner = this;
  f->tag = d.tag;
  f->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWindow* window = GTK_WINDOW(f->window);
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
    f->clip = clip;
  }
  f->fixed = gtk_fixed_new();
  gtk_container_add(GTK_CONTAINER(clip), f->fixed);
  gtk_container_add(GTK_CONTAINER(f->window), clip);

  for (const app::ControlDesign& c : d.controls) {
    auto control = std::make_unique<Control>();
    control->design = c;
    control->rect = c.rect;
    GtkWidget* parent = f->fixed;
    if (!c.container.empty()) {
      Control* container =
          f->controls.count(c.container) ? f->controls[c.container].get() : nullptr;
      if (container != nullptr && container->inner != nullptr) parent = container->inner;
    }
    auto* event = new Callbacks::ControlEvent{this, form, c.name};
    switch (c.kind) {
      case app::ControlKind::Timer:
        control->timer =
            g_timeout_add_full(G_PRIORITY_DEFAULT, static_cast<guint>(c.interval_ms),
                               Callbacks::on_tick, event, Callbacks::free_event_notify);
        event = nullptr;
        break;
      case app::ControlKind::Board:
        control->widget = gtk_fixed_new();
        control->inner = control->widget;
        break;
      case app::ControlKind::Edit:
        control->widget = gtk_entry_new();
        g_signal_connect_data(control->widget, "activate", G_CALLBACK(Callbacks::on_activate),
                              event, Callbacks::free_event, GConnectFlags(0));
        g_signal_connect_data(control->widget, "button-press-event",
                              G_CALLBACK(Callbacks::on_press),
                              new Callbacks::ControlEvent{this, form, c.name},
                              Callbacks::free_event, GConnectFlags(0));
        g_signal_connect_data(control->widget, "key-press-event",
                              G_CALLBACK(Callbacks::on_entry_key),
                              new Callbacks::ControlEvent{this, form, c.name},
                              Callbacks::free_event, GConnectFlags(0));
        event = nullptr;
        break;
      case app::ControlKind::ContentLabel:
        // A label has no window of its own: a box around it takes the clicks.
        control->widget = gtk_event_box_new();
        control->text = make_label(c);
        gtk_container_add(GTK_CONTAINER(control->widget), control->text);
        g_signal_connect_data(control->widget, "button-press-event",
                              G_CALLBACK(Callbacks::on_press), event, Callbacks::free_event,
                              GConnectFlags(0));
        event = nullptr;
        break;
      case app::ControlKind::Button:
        control->widget = gtk_button_new_with_label(utf8(c.text).c_str());
        g_signal_connect_data(control->widget, "clicked", G_CALLBACK(Callbacks::on_clicked), event,
                              Callbacks::free_event, GConnectFlags(0));
        event = nullptr;
        break;
      case app::ControlKind::GroupBox:
        control->widget = gtk_frame_new(utf8(c.text).c_str());
        control->inner = gtk_fixed_new();
        gtk_container_add(GTK_CONTAINER(control->widget), control->inner);
        break;
      default:
        control->widget = make_label(c);
        break;
    }
    delete event;
    if (control->text == nullptr) control->text = control->widget;
    if (control->widget != nullptr) {
      gtk_widget_set_name(control->widget, utf8(c.name).c_str());
      place(parent, control->widget, c.rect);
    }
    f->controls[c.name] = std::move(control);
  }

  g_signal_connect(f->window, "delete-event", G_CALLBACK(Callbacks::on_delete), f.get());
  g_signal_connect(f->window, "key-press-event", G_CALLBACK(Callbacks::on_key), f.get());
  g_signal_connect(f->window, "configure-event", G_CALLBACK(Callbacks::on_configure), f.get());
  g_signal_connect(f->window, "window-state-event", G_CALLBACK(Callbacks::on_window_state),
                   f.get());
  g_signal_connect(f->window, "focus-in-event", G_CALLBACK(Callbacks::on_focus), f.get());
  forms_[form] = std::move(f);
}

void GtkUi::load(Form form, bool modal) {
  if (exists(form)) return;
  build_form(form);
  FormState& f = *state(form);
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
  if (client_ != nullptr) client_->on_created(form);
  if (!exists(form)) return;
  if (app::form_design(form).visible_at_load) gtk_widget_show(f.window);
  if (!modal) return;
  // A modal form holds its caller until it is destroyed.
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  state(form)->modal_loop = loop;
  g_main_loop_run(loop);
  g_main_loop_unref(loop);
}

void GtkUi::destroy(Form form) {
  const auto found = forms_.find(form);
  if (found == forms_.end()) return;
  std::unique_ptr<FormState> f = std::move(found->second);
  forms_.erase(found);
  for (auto& [name, c] : f->controls) {
    if (c->timer != 0) g_source_remove(c->timer);
  }
  if (f->geometry_check != 0) g_source_remove(f->geometry_check);
  if (f->modal_loop != nullptr) g_main_loop_quit(f->modal_loop);
  gtk_widget_destroy(f->window);
}

bool GtkUi::exists(Form form) const {
  return state(form) != nullptr;
}

int GtkUi::get(Form form, std::string_view name, Property p) const {
  FormState* f = state(form);
  if (f == nullptr) return 0;
  if (!name.empty()) {
    Control* c = control(form, name);
    if (c == nullptr) return 0;
    if (p == Property::Visible) {
      return c->widget != nullptr && gtk_widget_get_visible(c->widget) ? 1 : 0;
    }
    return app::rect_value(c->rect, p);
  }
  GtkWindow* window = GTK_WINDOW(f->window);
  int a = 0, b = 0;
  switch (p) {
    case Property::Visible:
      return gtk_widget_get_visible(f->window) ? 1 : 0;
    case Property::TopMost:
      return f->top_most ? 1 : 0;
    case Property::State:
      return f->state;
    case Property::Left:
    case Property::Top:
      gtk_window_get_position(window, &a, &b);
      return p == Property::Left ? a : b;
    case Property::Width:
    case Property::Height:
      gtk_window_get_size(window, &a, &b);
      return p == Property::Width ? a : b;
  }
  return 0;
}

void GtkUi::set(Form form, std::string_view name, Property p, int value) {
  FormState* f = state(form);
  if (f == nullptr) return;
  if (!name.empty()) {
    Control* c = control(form, name);
    if (c == nullptr || c->widget == nullptr) return;
    if (p == Property::Visible) {
      gtk_widget_set_visible(c->widget, value != 0);
      return;
    }
    if (!app::set_rect_value(c->rect, p, value)) return;
    GtkWidget* parent = gtk_widget_get_parent(c->widget);
    if (GTK_IS_FIXED(parent))
      gtk_fixed_move(GTK_FIXED(parent), c->widget, c->rect.left, c->rect.top);
    gtk_widget_set_size_request(c->widget, std::max(c->rect.width, 1), std::max(c->rect.height, 1));
    return;
  }
  GtkWindow* window = GTK_WINDOW(f->window);
  switch (p) {
    case Property::Visible:
      if (value != 0) {
        // A hidden window is mapped where it was last placed, not where
        // the toolkit would put it anew.
        if (!gtk_widget_get_visible(f->window)) {
          gtk_window_move(window, f->want_left, f->want_top);
        }
        gtk_widget_show(f->window);
      } else if (form == Form::Main && (!tray_ || !gtk_status_icon_is_embedded(tray_.get()))) {
        // Without a tray to come back from, hiding would lose the window.
        gtk_window_iconify(window);
      } else {
        gtk_widget_hide(f->window);
      }
      break;
    case Property::TopMost:
      f->top_most = value != 0;
      gtk_window_set_keep_above(window, f->top_most);
      break;
    case Property::State:
      if (value == 2) {
        gtk_window_iconify(window);
      } else {
        gtk_window_deiconify(window);
        if (value == 3) {
          gtk_window_maximize(window);
        } else {
          gtk_window_unmaximize(window);
        }
      }
      break;
    case Property::Left:
      f->want_left = value;
      gtk_window_move(window, f->want_left, f->want_top);
      break;
    case Property::Top:
      f->want_top = value;
      gtk_window_move(window, f->want_left, f->want_top);
      break;
    case Property::Width:
    case Property::Height:
      (p == Property::Width ? f->want_width : f->want_height) = std::max(value, 1);
      // A fixed-size form is as large as its content asks.
      if (f->clip != nullptr) gtk_widget_set_size_request(f->clip, f->want_width, f->want_height);
      gtk_window_resize(window, f->want_width, f->want_height);
      break;
  }
}

Text GtkUi::get_text(Form form, std::string_view name, TextProperty p) const {
  FormState* f = state(form);
  if (f == nullptr) return {};
  if (name.empty()) {
    if (p == TextProperty::Tag) return f->tag;
    const char* title = gtk_window_get_title(GTK_WINDOW(f->window));
    return from_utf8(title != nullptr ? title : "");
  }
  Control* c = control(form, name);
  if (c == nullptr) return {};
  if (p == TextProperty::Tag) return c->tag;
  GtkWidget* w = c->text;
  if (w == nullptr) return {};
  if (GTK_IS_ENTRY(w)) return from_utf8(gtk_entry_get_text(GTK_ENTRY(w)));
  if (GTK_IS_LABEL(w)) return from_utf8(gtk_label_get_text(GTK_LABEL(w)));
  const char* label = GTK_IS_BUTTON(w)  ? gtk_button_get_label(GTK_BUTTON(w))
                      : GTK_IS_FRAME(w) ? gtk_frame_get_label(GTK_FRAME(w))
                                        : nullptr;
  return from_utf8(label != nullptr ? label : "");
}

void GtkUi::set_text(Form form, std::string_view name, TextProperty p, std::string_view value) {
  FormState* f = state(form);
  if (f == nullptr) return;
  const std::string text = utf8(value);
  if (name.empty()) {
    if (p == TextProperty::Tag) {
      f->tag = Text(value);
    } else {
      gtk_window_set_title(GTK_WINDOW(f->window), text.c_str());
    }
    return;
  }
  Control* c = control(form, name);
  if (c == nullptr) return;
  GtkWidget* w = c->text;
  if (p == TextProperty::Tag) {
    c->tag = Text(value);
  } else if (w == nullptr) {
    return;
  } else if (GTK_IS_ENTRY(w)) {
    gtk_entry_set_text(GTK_ENTRY(w), text.c_str());
  } else if (GTK_IS_LABEL(w)) {
    gtk_label_set_text(GTK_LABEL(w), text.c_str());
  } else if (GTK_IS_BUTTON(w)) {
    gtk_button_set_label(GTK_BUTTON(w), text.c_str());
  } else if (GTK_IS_FRAME(w)) {
    gtk_frame_set_label(GTK_FRAME(w), text.c_str());
  }
}

void GtkUi::focus(Form form) {
  if (FormState* f = state(form)) gtk_window_present(GTK_WINDOW(f->window));
}

std::intptr_t GtkUi::native_handle(Form form, std::string_view name) const {
  Control* c = control(form, name);
  return c == nullptr ? 0 : reinterpret_cast<std::intptr_t>(c->widget);
}

void GtkUi::set_tray(app::TrayPicture picture, std::string_view tip) {
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  if (picture == app::TrayPicture::None) {
    if (tray_) gtk_status_icon_set_visible(tray_.get(), FALSE);
    return;
  }
  if (!tray_) build_tray();
  gtk_status_icon_set_from_pixbuf(
      tray_.get(), picture == app::TrayPicture::Alternate ? alert_icon_.get() : window_icon_.get());
  gtk_status_icon_set_tooltip_text(tray_.get(), utf8(tip).c_str());
  gtk_status_icon_set_title(tray_.get(), utf8(tip).c_str());
  gtk_status_icon_set_visible(tray_.get(), TRUE);
  G_GNUC_END_IGNORE_DEPRECATIONS
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
  const int response = gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  return response == GTK_RESPONSE_OK ? app::kAnswerOk : app::kAnswerCancel;
}

int GtkUi::show_timed_message(const app::TimedMessage& message) {
  GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_INFO,
                                             GTK_BUTTONS_OK, "%s", utf8(message.text).c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), utf8(message.caption).c_str());
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  if (FormState* owner = state(forms_.count(Form::Join) ? Form::Join : Form::Main)) {
    gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(owner->window));
  }
  const guint timer = g_timeout_add(static_cast<guint>(std::max(message.timeout_ms, 0)),
                                    Callbacks::close_timed, dialog);
  const int response = gtk_dialog_run(GTK_DIALOG(dialog));
  if (response != GTK_RESPONSE_NONE) g_source_remove(timer);
  gtk_widget_destroy(dialog);
  // The platform's answer minus 1: OK is 1, a timeout 32000.
  return response == GTK_RESPONSE_NONE ? 31999 : 0;
}

}  // namespace quorvel::gtk
