// The whole interpreter under libFuzzer: arbitrary bytes are the statements
// of one session, the viewer works on a real display but without its thread.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <gtk/gtk.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "base/locks.h"
#include "gui/context_window.h"
#include "gui/domains_window.h"
#include "gui/projection_window.h"
#include "gui/visu_startup.h"
#include "gui/visu_window.h"
#include "interpreter/declarations.h"
#include "interpreter/parser.h"
#include "interpreter/session.h"
#include "worker/contained_run.h"
#include "store/registry.h"
#include "view/context.h"
#include "view/picking.h"

namespace {

// An analysis that needs longer is stopped and reported like any other, but
// a few of them must fit in the time the fuzzer allows one input.
constexpr std::chrono::milliseconds fuzzing_analysis_limit{1000};

// Enough rounds for a shown window to be mapped, sized and drawn.
constexpr int event_rounds = 3;

// One session for every input: the viewer it starts stays, as it would for a user.
Session& fuzzed_session() {
    static Session session(stdout);
    return session;
}

FILE* open_bytes(std::vector<char>& bytes) {
    if (bytes.empty()) return std::fopen("/dev/null", "r");
    return fmemopen(bytes.data(), bytes.size(), "r");
}

// The GUI thread is not running: the viewer's events are dispatched here.
// Expects the GDK lock held, as the toolkit's loop holds it.
void dispatch_viewer_events() {
    for (int round = 0; round < event_rounds; ++round) {
        gdk_flush();
        while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
    }
}

// What a user does in the windows between statements, as the GUI thread's
// handlers would do it, with the GDK lock held. The Color cell is left out:
// its dialog waits for a user.
enum class WindowAction { ClickCell, TypeParameter, ClickCanvas, DragAxis, MoveRow, MovePointer, Count };

constexpr unsigned max_window_actions = 16;
constexpr int status_column = 1;

void click_cell(std::uint8_t row, std::uint8_t column) {
    int rows = GTK_CLIST(fuzzed_session().viewer_windows.domain_clist)->rows;
    if (rows > 0) toggle_domain_row(fuzzed_session().viewer_windows, row % rows, status_column + column % 2);
}

void type_parameter(std::uint8_t which, std::uint8_t value) {
    if (fuzzed_session().viewer_windows.panel_item.empty()) return;
    std::string text = value % 4 == 0 ? "" : value % 4 == 1 ? "x" : std::to_string(static_cast<std::int8_t>(value));
    gtk_entry_set_text(
        GTK_ENTRY(
            fuzzed_session().viewer_windows.panel_item[which % fuzzed_session().viewer_windows.panel_item.size()]),
        text.c_str());
}

void move_in_projection(std::uint8_t x, std::uint8_t y, bool button_held) {
    if (!fuzzed_session().viewer_windows.rep_frame) return;
    if (!gtk_widget_get_visible(fuzzed_session().viewer_windows.rep_frame)) {
        toggle_projection_window(&fuzzed_session().viewer_windows);
        dispatch_viewer_events();
    }
    GdkEventMotion motion{};
    motion.type = GDK_MOTION_NOTIFY;
    motion.x = x;
    motion.y = y;
    motion.state = button_held ? GDK_BUTTON1_MASK : 0;
    rep_canvas_motion(fuzzed_session().viewer_windows.rep_canvas, &motion, &fuzzed_session().viewer_windows);
}

void move_row(std::uint8_t from, std::uint8_t to) {
    int rows = GTK_CLIST(fuzzed_session().viewer_windows.domain_clist)->rows;
    if (rows > 1) gtk_clist_row_move(GTK_CLIST(fuzzed_session().viewer_windows.domain_clist), from % rows, to % rows);
}

// The input's last byte gives the number of actions; each takes the three
// bytes before the previous one: kind, then two arguments.
void act_in_windows(const std::uint8_t* data, std::size_t size) {
    if (!fuzzed_session().viewer_windows.domain_frame || size == 0) return;
    unsigned count = data[size - 1] % max_window_actions;
    GdkLock gdk;
    for (unsigned k = 0; k < count && 3 * (k + 1) < size; ++k) {
        const std::uint8_t* action = data + size - 1 - 3 * (k + 1);
        std::uint8_t a = action[1], b = action[2];
        switch (static_cast<WindowAction>(action[0] % static_cast<int>(WindowAction::Count))) {
        case WindowAction::ClickCell: click_cell(a, b); break;
        case WindowAction::TypeParameter: type_parameter(a, b); break;
        case WindowAction::ClickCanvas:
            pick_point(fuzzed_session().viewer, 2 * a, 2 * b);
            break;
        case WindowAction::DragAxis: move_in_projection(a, b, true); break;
        case WindowAction::MoveRow: move_row(a, b); break;
        case WindowAction::MovePointer: move_in_projection(a, b, false); break;
        case WindowAction::Count: break;
        }
    }
}

// Every stored object goes, its rows with it, as after "del" of each name;
// the viewer stays, as it would in a session, but forgets its context.
void forget_session() {
    Session& session = fuzzed_session();
    reset_declaration(session.declaration);
    {
        GdkLock gdk;
        DomainLock lock;
        release_store(session.registries);
        session.viewer.context.context_valid = 0;
        session.viewer.context.context_name.clear();
        drop_derived_domains(session.viewer);
    }
    session.viewer_windows.context_redefined = 0;
    session.viewer_windows.requested_context_name.clear();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!std::getenv("QARNEST_FUZZ_SHOW_OUTPUT")) std::freopen("/dev/null", "w", stdout);
    gdk_threads_init();
    if (!gtk_init_check(nullptr, nullptr)) {
        std::fputs("interpreter_fuzzer: no X display (set DISPLAY, e.g. under xvfb-run)\n", stderr);
        std::exit(1);
    }
    fuzzed_session().analysis_time_limit = fuzzing_analysis_limit;
    // Figures the inputs write land in a folder of the fuzzer's own.
    char folder[] = "/tmp/qarnest-fuzz-figures-XXXXXX";
    if (!mkdtemp(folder) || chdir(folder) != 0) std::exit(1);
    return 0;
}

// The same bytes are the script, the terminal answers of the overwrite-or-
// rename dialogue (read from their start by a stream of their own) and, from
// their end, the user's actions in the windows once the statements are done.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<char> script_bytes(data, data + size);
    // A figure's file name stays inside the fuzzer's folder: no '/' in it.
    if (std::search(script_bytes.begin(), script_bytes.end(), "figure", "figure" + 6) != script_bytes.end())
        std::replace(script_bytes.begin(), script_bytes.end(), '/', '_');
    std::vector<char> answer_bytes(script_bytes);
    FILE* script = open_bytes(script_bytes);
    FILE* answers = open_bytes(answer_bytes);
    FILE* terminal = stdin;
    stdin = answers;
    scanner_reset(fuzzed_session(), script);
    parse_statements(fuzzed_session());
    std::fflush(stdout);
    stdin = terminal;
    {
        GdkLock gdk;
        dispatch_viewer_events();
    }
    act_in_windows(data, size);
    {
        GdkLock gdk;
        dispatch_viewer_events();
    }
    forget_session();
    std::fclose(script);
    std::fclose(answers);
    return 0;
}
