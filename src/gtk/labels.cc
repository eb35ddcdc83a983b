#include "gtk/labels.h"

#include "gtk/gobject_ptr.h"

#include <algorithm>
#include <string>

namespace quorvel::gtk {

void add_css(GtkWidget* widget, const char* css) {
  const auto provider = GObjectPtr<GtkCssProvider>::adopt(gtk_css_provider_new());
  gtk_css_provider_load_from_data(provider.get(), css, -1, nullptr);
  gtk_style_context_add_provider(gtk_widget_get_style_context(widget),
                                 GTK_STYLE_PROVIDER(provider.get()),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

namespace {

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

}  // namespace

GtkWidget* make_label(const app::ControlDesign& c) {
  GtkWidget* label = gtk_label_new(to_utf8(c.text).c_str());
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
      add_css(label,
              "label { font-family: SimSun, \"Noto Sans CJK SC\", sans-serif; font-size: 14px; }");
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

}  // namespace quorvel::gtk
