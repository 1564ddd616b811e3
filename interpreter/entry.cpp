// Start-up, the GUI thread and the shutdown sequence.
#include "interpreter/entry.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <gtk/gtk.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/error_report.h"
#include "base/locks.h"
#include "gui/visu_window.h"
#include "interpreter/figure_mode.h"
#include "interpreter/input_sources.h"
#include "interpreter/input_reading.h"
#include "interpreter/interrupts.h"
#include "interpreter/kernel_protocol.h"
#include "interpreter/line_editor.h"
#include "interpreter/options.h"
#include "interpreter/parser.h"
#include "interpreter/session.h"
#include "interpreter/standard_streams.h"
#include "interpreter/statements.h"
#include "calculus/analyses.h"
#include "view/viewer.h"

namespace {

// The loop may not be running yet when the interpreter ends (empty input), so
// the stop request waits in the loop's own queue instead of being lost.
gboolean stop_gui_loop(gpointer) {
    gtk_main_quit();
    return FALSE;
}

// The user leaves the viewer by its Quit button or by closing its window,
// both of which hide it.
void stop_gui_loop_when_hidden(GtkWidget*, gpointer) { gtk_main_quit(); }

// The viewer's loop runs until the end: a Quit only hides the windows, which
// a later initvisu or visu shows again. At the end a shown viewer is waited
// for; a hidden one, or a quit, ends the loop at once.
void shut_down_gui(ViewerWindows& viewer_windows, int end_code) {
    GdkLock gdk;
    if (end_code != -1 && viewer_windows.domain_frame && gtk_widget_get_visible(viewer_windows.domain_frame)) {
        std::puts("Waiting for user to leave graphical interface.");
        g_signal_connect(viewer_windows.domain_frame, "hide", G_CALLBACK(stop_gui_loop_when_hidden), nullptr);
        return;
    }
    gdk_threads_add_idle_full(G_PRIORITY_HIGH, stop_gui_loop, nullptr, nullptr);
}

constexpr int status_refused = 1;
constexpr int status_unusable = 2;

// Standard input is read at the terminal through the line editor unless the
// user turned it off or the output goes elsewhere (the editor would write its
// echo there); a pipe is read as it arrives, or by lines on request.
ReadingMode standard_input_mode(const CommandLine& line) {
    if (isatty(STDIN_FILENO))
        return line.line_editing && isatty(STDOUT_FILENO) ? ReadingMode::Editor : ReadingMode::Terminal;
    return line.line_mode ? ReadingMode::Lines : ReadingMode::Blocks;
}

bool reads_standard_input(const CommandLine& line) {
    if (line.scripts.empty() || line.interactive_after_scripts) return true;
    for (const std::string& script : line.scripts)
        if (script == "-") return true;
    return false;
}

// Every script is opened before any statement runs, so that a missing one
// changes nothing. False (after one line on standard error) when one fails.
// Standard input read by lines goes through `lines`.
bool open_inputs(const CommandLine& line, LineInput& lines, std::vector<InputSource>& inputs) {
    ReadingMode stdin_mode = standard_input_mode(line);
    LineInput* stdin_lines = stdin_mode == ReadingMode::Lines ? &lines : nullptr;
    for (const std::string& script : line.scripts) {
        if (script == "-") {
            inputs.push_back({"standard input", stdin, stdin_mode, stdin_lines});
            continue;
        }
        FILE* file = std::fopen(script.c_str(), "r");
        struct stat status {};
        if (file && fstat(fileno(file), &status) == 0 && S_ISDIR(status.st_mode)) {
            std::fclose(file);
            file = nullptr;
            errno = EISDIR;
        }
        if (!file) {
            std::fprintf(stderr, "qarnest: cannot read '%s': %s\n", script.c_str(), std::strerror(errno));
            return false;
        }
        inputs.push_back({script, file, ReadingMode::Blocks});
    }
    if (inputs.empty())
        inputs.push_back({"", stdin, stdin_mode, stdin_lines});
    else if (line.interactive_after_scripts)
        inputs.push_back({"standard input", stdin, stdin_mode, stdin_lines});
    if (reads_terminal(stdin_mode) && reads_standard_input(line))
        for (InputSource& input : inputs)
            if (input.file != stdin) input.prompted = false;
    return true;
}

void close_inputs(const std::vector<InputSource>& inputs) {
    for (const InputSource& input : inputs)
        if (input.file != stdin) std::fclose(input.file);
}

// A session read from a terminal keeps running through Ctrl-C, and so does
// one that asks to; batch use keeps SIGINT's default meaning.
void prepare_interrupts(Session& session, const CommandLine& line) {
    bool terminal_session = isatty(STDIN_FILENO) && reads_standard_input(line);
    if (terminal_session || line.keep_on_interrupt) {
        catch_interrupts();
        session.abandon_on_interrupt = true;
        DomainLock lock;
        session.viewer.stop_requests = &session;
    }
    session.cancel_unwanted_analyses = true;
}

}  // namespace

// The GTK thread is one per process (one X connection, one toolkit loop); it
// draws each session's viewer, which its callbacks reach through the windows
// they were connected with.
gpointer gui_thread_main(gpointer) {
    gdk_threads_enter();
    gtk_main();
    gdk_threads_leave();
    return nullptr;
}

int qarnest_main(int argc, char** argv) {
    open_closed_standard_descriptors();
    install_gdk_lock();
    gdk_threads_init();
    // The toolkit's options come out of the command line before ours are read;
    // no display is needed for that.
    gtk_parse_args(&argc, &argv);

    CommandLine line = parse_command_line(argc, argv);
    std::optional<FigureRequest> figure;
    if (line.error.empty()) line.error = figure_request_of(line, figure);
    if (!line.error.empty()) {
        std::fprintf(stderr, "qarnest: %s\nTry 'qarnest --help' for more information.\n", line.error.c_str());
        return status_unusable;
    }
    if (line.show_help || line.show_version) {
        std::fputs(line.show_help ? usage_text("qarnest").c_str() : version_text().c_str(), stdout);
        check_standard_output();
        return 0;
    }
    Session session(stdout);
    KernelProtocol protocol(session);
    LineInput standard_input_lines(STDIN_FILENO, stdout, line.kernel_protocol ? &protocol : nullptr);
    std::vector<InputSource> inputs;
    if (!open_inputs(line, standard_input_lines, inputs)) {
        close_inputs(inputs);
        return status_unusable;
    }

    // Made while the process has one thread and little memory: the fork is
    // cheap, the worker small, and the first analysis finds it ready.
    {
        DomainLock lock;
        prepare_analysis_worker();
    }
    PrivateDisplay private_display;
    if (figure || line.virtual_display) {
        if (const std::string failure = private_display.ensure(); !failure.empty()) {
            std::fprintf(stderr, "qarnest: %s\n", failure.c_str());
            close_inputs(inputs);
            return status_unusable;
        }
    }
    session.display_available = gtk_init_check(&argc, &argv);
    GThread* gui_thread = nullptr;
    if (session.display_available) {
        GError* error = nullptr;
        gui_thread = g_thread_try_new("gui", gui_thread_main, nullptr, &error);
        if (!gui_thread) {
            std::fprintf(stderr, "Can't start the graphical interface: %s\n", error->message);
            g_error_free(error);
        }
    }

    prepare_interrupts(session, line);
    if (standard_input_mode(line) == ReadingMode::Editor && reads_standard_input(line))
        start_line_editor(session.registries);
    scanner_set_inputs(session, inputs);
    scanner_watch_standard_output(session);

    write_first_prompt(session);
    int end_code = parse_statements(session);
    std::puts("End.");
    const bool figure_written = !figure || write_requested_figure(session.viewer, *figure) == 0;

    if (gui_thread) {
        // A figure run waits for no user, nor does a run whose windows are on a
        // display of its own that nobody sees: the loop ends as after quit.
        shut_down_gui(session.viewer_windows, figure || private_display.started() ? -1 : end_code);
        std::fflush(stdout);
        g_thread_join(gui_thread);
    }
    check_standard_output();
    close_inputs(inputs);
    if (!figure_written) return status_refused;
    if (!line.scripts.empty() && session.report.statement_refused > 0) return status_refused;
    return 0;
}
