// Starting, restarting and refreshing the viewer from the interpreter.
#pragma once

#include <string>

// The context name given to the last initvisu statement.
extern std::string requested_context_name;

// Expects the GDK lock held and domain_lock released.
void init_visu(long dimension, const std::string& context_name);
// Run at the end of every statement that may have stored a new domain at the
// head of DomainList. Expects the GDK lock and domain_lock held.
void refresh_visu();

// Set once a definition has redefined the context domain; from then on every
// refresh restarts the viewer.
extern int context_redefined;
