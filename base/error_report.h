// The one-line error report of the interpreter, with the input line number.
#pragma once

#include <string>

// Current input line, counted by the scanner from 1.
extern int line_number;
// Set once the scanner has returned the end of input.
extern bool input_ended;

// The input being read when it must be named (script files on the command
// line), and the line_number of its first line: its error lines then give
// the file and the line in that file. Empty for standard input read alone.
extern std::string input_name;
extern int input_first_line;

// Counts the statements refused or failed: the exit status of a script run,
// and the status a driving program reads after each line.
extern int statement_refused;
inline void note_refusal() { ++statement_refused; }

// Set by the scanner while a statement has begun and not ended with its ";".
extern bool statement_under_way;

// "> Error - line N : message \n", or the end-of-file notice once the input
// has ended (only a syntax error can be found then).
void report_error(const std::string& message);

// One error line for a PolyLib computation that failed (PolyLib threw):
// what names the work, e.g. "the union of 'A' and 'B'".
void report_polylib_failure(const std::string& what);
