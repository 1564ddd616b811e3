// The process entry: the toolkit prepared for two threads, the GUI thread,
// the statement loop on the main thread, and the shutdown.
#pragma once

#include <glib.h>

// Runs the toolkit's main loop for the life of the process.
gpointer gui_thread_main(gpointer data);

int qarnest_main(int argc, char** argv);
