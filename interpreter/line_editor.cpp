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
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "base/locks.h"
#include "interpreter/completion.h"
#include "interpreter/interrupts.h"
#include "store/registry.h"

namespace {

constexpr int history_limit = 1000;

struct PendingLine {
    bool done = false;
    bool ended = false;
    std::string text;
};

// Readline is one per process, and its callbacks carry no data of ours: the
// line it hands over and the store whose names Tab completes are kept here
// for them.
struct LineEditorState {
    PendingLine pending;
    const Registries* names = nullptr;
};
LineEditorState line_editor;

void take_line(char* text) {
    line_editor.pending.done = true;
    line_editor.pending.ended = text == nullptr;
    if (text) line_editor.pending.text = text;
    std::free(text);
    rl_callback_handler_remove();
}

// Readline starts the word after an opening quote; ours may start later in
// a quote that opens no file name, and what lies between is kept.
char** complete(const char*, int start, int end) {
    rl_attempted_completion_over = 1;   // nothing of Readline's own
    const std::string line(rl_line_buffer, static_cast<std::size_t>(end));
    const Completion completion =
        complete_word(line, line_editor.names ? stored_names(*line_editor.names) : std::vector<std::string>{});
    if (completion.matches.empty()) return nullptr;
    const std::string kept = line.substr(static_cast<std::size_t>(start),
                                         completion.word_start - std::min<std::size_t>(completion.word_start, start));
    // Readline's layout: the common prefix first, then every match.
    std::vector<std::string> words;
    for (const std::string& match : completion.matches) words.push_back(kept + match);
    std::string common = words.front();
    for (const std::string& word : words) {
        std::size_t n = 0;
        while (n < common.size() && n < word.size() && common[n] == word[n]) ++n;
        common.resize(n);
    }
    // Only a file name has a closing quote to add.
    if (!completion.file_name) rl_completion_suppress_quote = 1;
    if (words.size() == 1 && !common.empty() && common.back() == '/') {
        // A folder: go on typing inside it, the quote still open.
        rl_completion_suppress_quote = 1;
        rl_completion_suppress_append = 1;
    }
    char** array = static_cast<char**>(std::malloc((words.size() + 2) * sizeof(char*)));
    array[0] = strdup(common.c_str());
    std::size_t k = 1;
    if (words.size() > 1)
        for (const std::string& word : words) array[k++] = strdup(word.c_str());
    array[k] = nullptr;
    return array;
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

// Between lines the terminal is in line mode, and a Ctrl-D typed while a
// statement runs waits there as an empty line; once Readline switches to raw
// mode it would reach the editor as a NUL byte and the end of input would be
// lost. So it is taken in line mode, and its key is handed to the editor,
// which then ends as for a Ctrl-D typed at the prompt. (One that comes in the
// instant between this look and the switch still becomes a NUL.) Returns
// that key, or 0 when no end of input is waiting.
int end_typed_ahead() {
    termios settings;
    if (tcgetattr(STDIN_FILENO, &settings) != 0 || !(settings.c_lflag & ICANON)) return 0;
    pollfd p = {STDIN_FILENO, POLLIN, 0};
    if (poll(&p, 1, 0) <= 0 || !(p.revents & POLLIN)) return 0;
    // The line discipline counts no byte for an end of input.
    int waiting = 0;
    if (ioctl(STDIN_FILENO, FIONREAD, &waiting) != 0 || waiting != 0) return 0;
    char byte;
    if (read(STDIN_FILENO, &byte, 1) != 0) return 0;
    return settings.c_cc[VEOF] ? settings.c_cc[VEOF] : 4;
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
    rl_basic_word_break_characters = const_cast<char*>(completion_word_breaks);
    rl_completer_quote_characters = const_cast<char*>("\"");
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
    const int end_key = end_typed_ahead();
    rl_callback_handler_install(prompt.c_str(), take_line);
    if (end_key) {
        rl_stuff_char(end_key);
        rl_callback_read_char();
    }
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
