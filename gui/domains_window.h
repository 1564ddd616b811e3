// The Domains window: one row per drawable domain, where a click on a cell
// shows or masks the domain, switches its integer points or picks its
// colour, and dragging rows changes the drawing order.
#pragma once

#include <gtk/gtk.h>

#include "gui/viewer_windows.h"
#include "store/registry.h"

// Expects domain_lock released (it takes it to read DomainList).
GtkWidget* create_domains_window(ViewerWindows& viewer_windows);

// Whether the entry's dimension fits the running viewer.
bool domain_fits_viewer(const Viewer& viewer, const DomainEntry* entry);

// These expect domain_lock held.
void prepend_domain_row(ViewerWindows& viewer_windows, DomainEntry* entry);
void append_domain_row(ViewerWindows& viewer_windows, DomainEntry* entry);
void remove_domain_row(ViewerWindows& viewer_windows, DomainEntry* entry);
void mask_domain_row(ViewerWindows& viewer_windows, int row);
void mask_shown_rows(ViewerWindows& viewer_windows);

// Expects domain_lock released.
void toggle_domain_row(ViewerWindows& viewer_windows, int row, int column);
void domain_row_moved(ViewerWindows& viewer_windows, int source_row, int dest_row);

void open_colour_dialog(ViewerWindows& viewer_windows);
void colour_dialog_ok(ViewerWindows& viewer_windows, GtkColorSelection* selection);
void close_colour_dialog(ViewerWindows& viewer_windows);
