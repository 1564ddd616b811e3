// The whole interpreter under libFuzzer: arbitrary bytes are the statements
// of one session, the viewer works on a real display but without its thread.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <gtk/gtk.h>
#include <vector>

#include "gui/visu_startup.h"
#include "interpreter/declarations.h"
#include "interpreter/locks.h"
#include "interpreter/parser.h"
#include "store/contained_run.h"
#include "store/registry.h"
#include "view/context.h"

namespace {

// An analysis that needs longer is stopped and reported like any other, but
// a few of them must fit in the time the fuzzer allows one input.
constexpr std::chrono::milliseconds fuzzing_analysis_limit{1000};

// Enough rounds for a shown window to be mapped, sized and drawn.
constexpr int event_rounds = 3;

FILE* open_bytes(std::vector<char>& bytes) {
    if (bytes.empty()) return std::fopen("/dev/null", "r");
    return fmemopen(bytes.data(), bytes.size(), "r");
}

// The GUI thread is not running: the viewer's events are dispatched here,
// with the GDK lock held as the toolkit's loop holds it.
void dispatch_viewer_events() {
    GdkLock gdk;
    for (int round = 0; round < event_rounds; ++round) {
        gdk_flush();
        while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
    }
}

// Every stored object goes, as after "del" of each name; the viewer stays,
// as it would in a session, but forgets its context.
void forget_session() {
    reset_declaration();
    {
        GdkLock gdk;
        DomainLock lock;
        while (DomainList) DomainList = delete_domain_in_list(DomainList->name, DomainList);
        context_valid = 0;
        context_name.clear();
        drop_derived_domains();
    }
    {
        DomainLock lock;
        while (MatrixList) MatrixList = delete_matrix_in_list(MatrixList->name, MatrixList);
    }
    context_redefined = 0;
    requested_context_name.clear();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!std::getenv("QARNEST_FUZZ_SHOW_OUTPUT")) std::freopen("/dev/null", "w", stdout);
    gdk_threads_init();
    if (!gtk_init_check(nullptr, nullptr)) {
        std::fputs("interpreter_fuzzer: no X display (set DISPLAY, e.g. under xvfb-run)\n", stderr);
        std::exit(1);
    }
    analysis_time_limit = fuzzing_analysis_limit;
    return 0;
}

// The same bytes are the script and, read from their start by a stream of
// their own, the terminal answers of the overwrite-or-rename dialogue.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<char> script_bytes(data, data + size);
    std::vector<char> answer_bytes(script_bytes);
    FILE* script = open_bytes(script_bytes);
    FILE* answers = open_bytes(answer_bytes);
    FILE* terminal = stdin;
    stdin = answers;
    scanner_reset(script);
    parse_statements();
    std::fflush(stdout);
    stdin = terminal;
    dispatch_viewer_events();
    forget_session();
    std::fclose(script);
    std::fclose(answers);
    return 0;
}
