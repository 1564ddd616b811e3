// The Visualisation window.
#include "gui/visu_window.h"

GtkWidget* domain_frame = nullptr;
