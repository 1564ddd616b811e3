// The one-line error report of the interpreter, with the input line number.
#pragma once

#include <string>

// Current input line, counted by the scanner from 1.
extern int line_number;
// Set once the scanner has returned the end of input.
extern bool input_ended;

// "> Error - line N : message \n", or the end-of-file notice once the input
// has ended (only a syntax error can be found then).
void report_error(const std::string& message);

// One error line for a PolyLib computation that failed (PolyLib threw):
// what names the work, e.g. "the union of 'A' and 'B'".
void report_polylib_failure(const std::string& what);
