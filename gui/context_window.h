// The Context window: one entry per parameter of the context domain; every
// edit is checked and, once all values are set, tested against the context.
#pragma once

#include <cstdint>
#include <gtk/gtk.h>
#include <optional>
#include <string>
#include <vector>

#include "gui/viewer_windows.h"

// Builds the window hidden; the caller stores it in context_window.
// Expects domain_lock released (it reads the context's variable names).
GtkWidget* create_context_window(ViewerWindows& viewer_windows);
// An entry's edit; `data` is the ViewerWindows.
void parameter_changed(GtkWidget* entry, gpointer data);

// The names of the context's parameters, in order. Expects domain_lock released.
std::vector<std::string> context_parameter_names(ViewerWindows& viewer_windows);
// Parameter values given by a statement: the entries show them and the shown
// domains follow, as when they are typed; values[k] is parameter k's value,
// or none to leave it. Expects the GDK lock held and domain_lock released.
void set_parameter_values(ViewerWindows& viewer_windows, const std::vector<std::optional<std::int64_t>>& values);

// Whether text is a well-formed parameter value: an optional sign, then digits.
bool well_formed_integer(const char* text);
