// Running statements inside the test process, so that a test can look at the
// stores and the windows directly after each script.
#pragma once

#include <string>

class Session;

// The session the in-process tests of the viewer share: the viewer shows its
// store. It writes to standard output.
Session& in_process_session();

// Parses and carries out a script in the shared session; returns what it
// wrote on standard output.
std::string run_statements(const std::string& script);

// Parses and carries out a script in `session` (which writes to a stream of
// its own, see session_output.h); returns the statements' exit code.
int run_statements_in(Session& session, const std::string& script);

// Dispatches pending toolkit events (sizes, exposes, redraws).
void process_pending_events();
