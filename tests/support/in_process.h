// Running statements inside the test process, so that a test can look at the
// stores and the windows directly after each script.
#pragma once

#include <string>

// Parses and carries out a script in-process; returns what it wrote on
// standard output.
std::string run_statements(const std::string& script);

// Dispatches pending toolkit events (sizes, exposes, redraws).
void process_pending_events();
