// The Save control of the Visualisation window: a file chooser with a filter
// per figure format, the picture written as the canvas shows it, and any
// failure told in a dialog.
#pragma once

#include <gtk/gtk.h>
#include <string>

#include "gui/viewer_windows.h"

// Opens the file chooser (at most one at a time). Expects the GDK lock held.
void open_figure_chooser();
// The chooser's answer for `path` (a known extension added when the name has
// none and a format's filter is chosen): the figure written at the canvas's
// size, or an error dialog. Expects the GDK lock held.
void save_figure_as(const std::string& path, GtkFileFilter* chosen_filter);
