// The Save control of the Visualisation window: a file chooser with a filter
// per figure format, the picture written as the canvas shows it, and any
// failure told in a dialog.
#pragma once

#include <gtk/gtk.h>
#include <optional>
#include <string>

#include "gui/figure_export.h"
#include "gui/viewer_windows.h"

// Opens the file chooser (at most one at a time) on the working directory.
// Choosing a format's filter gives the name that format's extension.
// Expects the GDK lock held.
void open_figure_chooser(ViewerWindows& viewer_windows);
// The chooser's answer for `path` (the chosen format's extension added when
// the name has none): the figure written at the canvas's size, or an error
// dialog. Expects the GDK lock held.
void save_figure_as(ViewerWindows& viewer_windows, const std::string& path, std::optional<FigureFormat> chosen_format);
