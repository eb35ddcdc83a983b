// One front-end including another: the layer check must refuse it.
#include "win32/win32_ui.h"
