// The picture of the shown domains, painted from scratch into the off-screen
// image: outlines, integer points in blended colours, marked points.
#pragma once

#include <gdk/gdk.h>

#include "store/registry.h"

// Expects the GDK lock and domain_lock held.
void redraw_domains(GdkPixmap* pixmap);
