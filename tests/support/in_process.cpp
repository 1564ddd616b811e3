// In-process interpreter runs.
#include "tests/support/in_process.h"

#include <cstdio>
#include <gtk/gtk.h>

#include "interpreter/parser.h"
#include "tests/support/capture.h"

std::string run_statements(const std::string& script) {
    std::string text = script;
    FILE* input = fmemopen(text.data(), text.size(), "r");
    scanner_reset(input);
    std::string out = capture_stdout([] { parse_statements(); });
    std::fclose(input);
    return out;
}

void process_pending_events() {
    for (int round = 0; round < 3; ++round) {
        gdk_flush();
        while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
        g_usleep(20000);
    }
}
