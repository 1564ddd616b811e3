// What the scanner reads, in order, and how each input is read.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

enum class ReadingMode {
    Blocks,     // 8192-byte blocks: a file, or a pipe read as a whole
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
};

// Makes the scanner read these inputs one after the other, as one text
// (a statement may go on from one to the next), from line 1.
void scanner_set_inputs(std::vector<InputSource> inputs);

// Writes the first prompt "<1> " (kept for the line editor in its mode).
void write_first_prompt();

// Flushes and checks standard output before every read (an abandoned pipe
// or a full disk ends the run instead of going on for nobody).
void scanner_watch_standard_output();

// Set when a Ctrl-C dropped the statement being typed: the parser ends its
// current parse without a message and starts again.
extern bool statement_interrupted;
