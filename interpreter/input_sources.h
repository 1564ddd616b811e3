// What the scanner reads, in order, and how each input is read.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

enum class ReadingMode {
    Blocks,     // up to 8192 bytes a read: a file, or a pipe read as it arrives
    Lines,      // one line as soon as it arrives, answers flushed first: a pipe driven by a program
    Terminal,   // one line at a time, the pending prompt flushed first
    Editor,     // the line editor, which shows the prompt itself
};

class LineInput;

struct InputSource {
    std::string name;   // named in error lines; empty for standard input read alone
    FILE* file;         // owned by the caller; standard input for the two terminal modes
    ReadingMode mode;
    LineInput* lines = nullptr;   // owned by the caller; what Lines mode reads through
    // Whether its lines get prompts. A script run in a terminal session is
    // not typed there: its prompts would stand among the terminal's own.
    bool prompted = true;
};

// Whether the mode reads a terminal, where the user types the lines.
inline bool reads_terminal(ReadingMode mode) { return mode == ReadingMode::Terminal || mode == ReadingMode::Editor; }

struct yy_buffer_state;
class Session;

// What one session's scanner keeps besides flex's own state: the inputs it
// reads in turn, the prompt, and the overwrite dialogue's text.
struct ScannerState {
    void* scanner = nullptr;   // flex's reentrant scanner, whose extra data is the session
    std::vector<InputSource> inputs;
    std::size_t current_input = 0;
    bool watching_standard_output = false;
    // Set when a Ctrl-C dropped the statement being typed: the parser ends its
    // current parse without a message and starts again.
    bool statement_interrupted = false;
    bool input_interrupted = false;
    // The prompt of the line about to be read; the line editor shows it.
    std::string pending_prompt = "<1> ";
    // Text given back to the scanner after the overwrite dialogue: buffers
    // below the current one, resumed when it is used up.
    std::vector<yy_buffer_state*> resumed_buffers;
    bool dialogue_open = false;
    std::string rest_of_statement_line;
    std::string given_back;   // characters the dialogue did not use, newest first
};

// The session's scanner is made with the session and ends with it.
void create_scanner(Session& session);
void destroy_scanner(Session& session);

// Makes the scanner read these inputs one after the other, as one text
// (a statement may go on from one to the next), from line 1.
void scanner_set_inputs(Session& session, std::vector<InputSource> inputs);

// Writes the first prompt "<1> " (kept for the line editor in its mode).
void write_first_prompt(Session& session);

// Flushes and checks standard output before every read (an abandoned pipe
// or a full disk ends the run instead of going on for nobody).
void scanner_watch_standard_output(Session& session);

// The overwrite dialogue's answers, read from the session's input.
int dialogue_get_char(Session& session);
void dialogue_unget_char(Session& session, int c);
void dialogue_finished(Session& session);
bool answers_are_lines(Session& session);
