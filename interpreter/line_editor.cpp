// Readline in its callback form: the wait for a key is ours, so that a
// Ctrl-C can drop the line instead of being swallowed by the editor.
#include "interpreter/line_editor.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <readline/history.h>
#include <readline/readline.h>
#include <unistd.h>
#include <vector>

#include "base/locks.h"
#include "interpreter/interrupts.h"
#include "store/registry.h"

namespace {

constexpr int history_limit = 1000;

const char* const keywords[] = {"help",  "quit",  "list",     "print", "del",  "PLprint", "PLcons",
                                "PLrays", "union", "inter",    "diff",  "image", "preimage", "dd",
                                "convex", "ehrhart", "vertices", "initvisu", "visu",
                                "points", "card", "codegen", "lexmin", "lexmax", "sample", "gist",
                                "isempty", "issubset", "isequal",
                                // Exchange with other tools.
                                "isl"};

struct PendingLine {
    bool done = false;
    bool ended = false;
    std::string text;
};

// Readline is one per process, and its callbacks carry no data of ours: the
// line it hands over, the store whose names Tab completes, and the
// completions being offered are kept here for them.
struct LineEditorState {
    PendingLine pending;
    const Registries* names = nullptr;
    std::vector<std::string> words;
    std::size_t next_word = 0;
};
LineEditorState line_editor;

void take_line(char* text) {
    line_editor.pending.done = true;
    line_editor.pending.ended = text == nullptr;
    if (text) line_editor.pending.text = text;
    std::free(text);
    rl_callback_handler_remove();
}

std::vector<std::string> completion_candidates() {
    std::vector<std::string> words(std::begin(keywords), std::end(keywords));
    if (!line_editor.names) return words;
    {
        DomainLock lock;
        for (DomainEntry* e = line_editor.names->DomainList; e; e = e->next) words.push_back(e->name);
    }
    for (MatrixEntry* m = line_editor.names->MatrixList; m; m = m->next) words.push_back(m->name);
    return words;
}

char* next_completion(const char* text, int state) {
    std::vector<std::string>& words = line_editor.words;
    if (state == 0) {
        words = completion_candidates();
        line_editor.next_word = 0;
    }
    std::size_t length = std::strlen(text);
    while (line_editor.next_word < words.size()) {
        const std::string& word = words[line_editor.next_word++];
        if (word.compare(0, length, text) == 0) return strdup(word.c_str());
    }
    return nullptr;
}

char** complete(const char* text, int, int) {
    rl_attempted_completion_over = 1;   // no file names
    return rl_completion_matches(text, next_completion);
}

void remember_line(const std::string& line) {
    if (line.find_first_not_of(" \t") == std::string::npos) return;
    HIST_ENTRY* last = history_length > 0 ? history_get(history_base + history_length - 1) : nullptr;
    if (last && line == last->line) return;
    add_history(line.c_str());
    std::string path = history_file_path();
    if (path.empty()) return;
    if (append_history(1, path.c_str()) != 0) write_history(path.c_str());
}

// Blocks SIGINT except inside the wait itself, so that a Ctrl-C pressed just
// before the wait is not missed.
bool wait_for_key() {
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigprocmask(SIG_BLOCK, &blocked, &previous);
    pollfd p = {STDIN_FILENO, POLLIN, 0};
    int ready = 0;
    bool interrupted = take_interrupt();
    if (!interrupted) {
        sigset_t during = previous;
        sigdelset(&during, SIGINT);
        ready = ppoll(&p, 1, nullptr, &during);
        if (ready < 0 && errno == EINTR) interrupted = take_interrupt();
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (interrupted) return false;
    if (ready > 0) rl_callback_read_char();
    return true;
}

void drop_line() {
    rl_free_line_state();
    rl_callback_sigcleanup();
    rl_callback_handler_remove();
    std::fputs("^C\n", rl_outstream ? rl_outstream : stdout);
}

}  // namespace

std::string history_file_path() {
    const char* home = std::getenv("HOME");
    if (!home || !*home) return {};
    return std::string(home) + "/.qarnest_history";
}

void start_line_editor(const Registries& names) {
    line_editor.names = &names;
    rl_readline_name = "qarnest";
    rl_catch_signals = 0;
    rl_attempted_completion_function = complete;
    rl_basic_word_break_characters = const_cast<char*>(" \t\n(),;:=<>{}|+-*.");
    // Pasted statements run line by line, as if typed.
    rl_variable_bind("enable-bracketed-paste", "off");
    using_history();
    stifle_history(history_limit);
    std::string path = history_file_path();
    if (!path.empty()) {
        read_history(path.c_str());
        history_truncate_file(path.c_str(), history_limit);
    }
}

EditedLine read_edited_line(const std::string& prompt, std::string& line, bool remember) {
    std::fflush(stdout);
    PendingLine& pending = line_editor.pending;
    pending = PendingLine{};
    rl_callback_handler_install(prompt.c_str(), take_line);
    while (!pending.done) {
        if (!wait_for_key()) {
            drop_line();
            return EditedLine::Interrupted;
        }
    }
    std::fflush(rl_outstream ? rl_outstream : stdout);
    if (pending.ended) return EditedLine::End;
    line = pending.text;
    if (remember) remember_line(line);
    return EditedLine::Line;
}
