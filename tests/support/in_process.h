// Running statements inside the test process, so that a test can look at the
// stores and the windows directly after each script.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

class Session;

// The session the in-process tests of the viewer share: the viewer shows its
// store. It writes to standard output.
Session& in_process_session();

// Parses and carries out a script in the shared session; returns what it
// wrote on standard output.
std::string run_statements(const std::string& script);

// Parses and carries out a script in `session` (which writes to a stream of
// its own, as a CapturedSession does); returns the statements' exit code.
int run_statements_in(Session& session, const std::string& script);

// A session writing to a stream of its own, read back as text.
class CapturedSession {
public:
    CapturedSession();
    ~CapturedSession();
    CapturedSession(const CapturedSession&) = delete;
    CapturedSession& operator=(const CapturedSession&) = delete;

    Session& session() { return *session_; }

    // Runs the statements as a new input of the same calculator (from line
    // 1, what it stored kept); returns what they wrote.
    std::string run(const std::string& statements);

private:
    char* text_ = nullptr;
    std::size_t size_ = 0;
    std::FILE* out_;
    std::unique_ptr<Session> session_;
};

// Dispatches pending toolkit events (sizes, exposes, redraws).
void process_pending_events();
