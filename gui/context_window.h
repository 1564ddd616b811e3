// The Context window: one entry per parameter of the context domain; every
// edit is checked and, once all values are set, tested against the context.
#pragma once

#include <gtk/gtk.h>
#include <vector>

#include "gui/viewer_windows.h"

// Builds the window hidden; the caller stores it in context_window.
// Expects domain_lock released (it reads the context's variable names).
GtkWidget* create_context_window();
void parameter_changed(GtkWidget* entry);

// Whether text is a well-formed parameter value: an optional sign, then digits.
bool well_formed_integer(const char* text);
