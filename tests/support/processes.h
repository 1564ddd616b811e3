// Processes seen through /proc, for tests of what a run leaves behind.
#pragma once

#include <sys/types.h>

// Whether process `pid` has any child process left (running or zombie).
bool has_children(pid_t pid);
