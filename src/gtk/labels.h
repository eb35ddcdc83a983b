// Labels made from their designs: the design's font kinds, wrapping within
// the designed rectangle, and a smaller font where the desktop's does not
// fit it.
#pragma once

#include <gtk/gtk.h>

#include "app/forms.h"

namespace quorvel::gtk {

[[nodiscard]] GtkWidget* make_label(const app::ControlDesign& c);

// Adds style rules to one widget.
void add_css(GtkWidget* widget, const char* css);

}  // namespace quorvel::gtk
