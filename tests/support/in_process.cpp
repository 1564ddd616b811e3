// In-process interpreter runs.
#include "tests/support/in_process.h"

#include <cstdio>
#include <cstdlib>
#include <gtk/gtk.h>

#include "interpreter/parser.h"
#include "interpreter/session.h"
#include "tests/support/capture.h"

Session& in_process_session() {
    static Session session(stdout);
    return session;
}

int run_statements_in(Session& session, const std::string& script) {
    std::string text = script;
    FILE* input = fmemopen(text.data(), text.size(), "r");
    scanner_reset(session, input);
    int result = parse_statements(session);
    std::fclose(input);
    return result;
}

CapturedSession::CapturedSession() : out_(open_memstream(&text_, &size_)), session_(std::make_unique<Session>(out_)) {}

CapturedSession::~CapturedSession() {
    session_.reset();
    std::fclose(out_);
    std::free(text_);
}

std::string CapturedSession::run(const std::string& statements) {
    std::fflush(out_);
    const std::size_t before = size_;
    std::string script = statements;
    FILE* input = fmemopen(script.data(), script.size(), "r");
    scanner_reset(*session_, input);
    write_first_prompt(*session_);
    parse_statements(*session_);
    std::fclose(input);
    std::fflush(out_);
    return std::string(text_ + before, size_ - before);
}

std::string run_statements(const std::string& script) {
    return capture_stdout([&] { run_statements_in(in_process_session(), script); });
}

void process_pending_events() {
    for (int round = 0; round < 3; ++round) {
        gdk_flush();
        while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
        g_usleep(20000);
    }
}
