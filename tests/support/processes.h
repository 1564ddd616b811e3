// Processes seen through /proc, for tests of what a run leaves behind.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// Whether process `pid` has any child process left (running or zombie).
bool has_children(pid_t pid);
// The child processes of `pid` whose command name is `name` ("Xvfb").
std::vector<pid_t> children_named(pid_t pid, const std::string& name);
// The resident memory of `pid` and of all its descendants together, in KiB
// (pages they share are counted once per process); 0 once it is gone.
long tree_resident_kib(pid_t pid);
// Whether process `pid` has ended: gone, or a zombie not yet reaped.
bool process_gone(pid_t pid);
