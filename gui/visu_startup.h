// Starting, restarting and refreshing the viewer from the interpreter.
#pragma once

#include <string>

#include "gui/viewer_windows.h"

struct Registries;

// Starts or restarts the viewer on the domains of `shown`. Expects the GDK
// lock held and domain_lock released.
void init_visu(ViewerWindows& viewer_windows, Registries& shown, long dimension, const std::string& context_name);
// Run at the end of every statement that may have stored a new domain at the
// head of the DomainList of `store`; nothing when the viewer shows another
// store. Expects the GDK lock and domain_lock held.
void refresh_visu(ViewerWindows& viewer_windows, Registries& store);
