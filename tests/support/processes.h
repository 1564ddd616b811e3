// Processes seen through /proc, for tests of what a run leaves behind.
#pragma once

#include <sys/types.h>

// Whether process `pid` has any child process left (running or zombie).
bool has_children(pid_t pid);
// Whether process `pid` has ended: gone, or a zombie not yet reaped.
bool process_gone(pid_t pid);
