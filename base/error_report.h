// The one-line error report of the interpreter, with the input line number,
// and where a session writes its answers.
#pragma once

#include <cstdio>
#include <string>

// One session's output and what its error lines say about the input: each
// session reads its own input and writes to its own stream.
struct StatementReport {
    // Where the session's answers go; the program's session writes to stdout.
    FILE* out = stdout;
    // Current input line, counted by the scanner from 1.
    int line_number = 1;
    // Set once the scanner has returned the end of input.
    bool input_ended = false;
    // The input being read when it must be named (script files on the command
    // line), and the line_number of its first line: its error lines then give
    // the file and the line in that file. Empty for standard input read alone.
    std::string input_name;
    int input_first_line = 1;
    // Counts the statements refused or failed: the exit status of a script
    // run, and the status a driving program reads after each line.
    int statement_refused = 0;
    // Set by the scanner while a statement has begun and not ended with its ";".
    bool statement_under_way = false;
};

inline void note_refusal(StatementReport& report) { ++report.statement_refused; }

// "> Error - line N : message \n", or the end-of-file notice once the input
// has ended (only a syntax error can be found then).
void report_error(StatementReport& report, const std::string& message);

// One error line for a PolyLib computation that failed (PolyLib threw):
// what names the work, e.g. "the union of 'A' and 'B'".
void report_polylib_failure(StatementReport& report, const std::string& what);
