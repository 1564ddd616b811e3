// The Visualisation window: the domain canvas and the window toggles.
#pragma once

#include <gtk/gtk.h>

// Empty until the viewer first starts; never rebuilt afterwards.
extern GtkWidget* domain_frame;
