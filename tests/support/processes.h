// Processes seen through /proc, for tests of what a run leaves behind.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// Whether process `pid` has any child process left (running or zombie).
bool has_children(pid_t pid);
// The child processes of `pid` whose command name is `name` ("Xvfb").
std::vector<pid_t> children_named(pid_t pid, const std::string& name);
// Whether process `pid` has ended: gone, or a zombie not yet reaped.
bool process_gone(pid_t pid);
