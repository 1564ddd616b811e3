// The Domains window: one row per drawable domain, where a click on a cell
// shows or masks the domain, switches its integer points or picks its
// colour, and dragging rows changes the drawing order.
#pragma once

#include <gtk/gtk.h>

#include "gui/viewer_windows.h"
#include "store/registry.h"

// Expects domain_lock released (it takes it to read DomainList).
GtkWidget* create_domains_window();

// Removes the rows of deleted domains: the watcher of the shown store.
const DomainListWatcher* domains_window_watcher();

// Whether the entry's dimension fits the running viewer.
bool domain_fits_viewer(const DomainEntry* entry);

// These expect domain_lock held.
void prepend_domain_row(DomainEntry* entry);
void append_domain_row(DomainEntry* entry);
void remove_domain_row(DomainEntry* entry);
void mask_domain_row(int row);
void mask_shown_rows();

// Expects domain_lock released.
void toggle_domain_row(int row, int column);
void domain_row_moved(int source_row, int dest_row);

void open_colour_dialog();
void colour_dialog_ok(GtkColorSelection* selection);
void close_colour_dialog();
