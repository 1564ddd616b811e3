// Making and releasing the drawing resources of the viewer (declared with the
// view, which draws with them), and the windows' icons read from files.
#pragma once

#include <gtk/gtk.h>
#include <string>
#include <vector>

#include "view/viewer.h"

// At every size change of domain_canvas: new image and domain_gc, size recorded.
void make_canvas_image(Viewer& viewer);
// First start only, after the Visualisation window has been shown.
void load_visu_resources(Viewer& viewer);

// An expose handler's work: the exposed rectangle copied from the off-screen
// image to the same place of the widget's window.
void copy_exposed_area(GtkWidget* widget, GdkPixmap* image, const GdkEventExpose* event);

// Where an icon file is looked for, in order: the working directory, then
// the installed data folder <prefix>/bin/../share/qarnest of the executable.
std::vector<std::string> icon_file_candidates(const char* file);
// Sets a realized window's icon and mask from the first of these files that
// reads as an XPM image; with none, the window has no icon. The window keeps
// the pixmaps until it is destroyed.
void set_icon_from_file(GtkWidget* window, const char* file);
