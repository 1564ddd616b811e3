// Reading one input the way its mode says: blocks of a file or pipe, single
// lines, or the line editor's lines (handed out in pieces to the scanner and
// character by character to the overwrite dialogue).
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// At most `size` bytes, fewer only at the end of the input (0 then).
std::size_t read_block(FILE* input, char* buffer, std::size_t size);

// Up to and with the next newline, at most `size` bytes; 0 at the end of
// the input. A Ctrl-C while waiting drops the line: `interrupted` is set and
// the prompt written again on a new line.
std::size_t read_line(FILE* input, char* buffer, std::size_t size, const std::string& prompt, bool& interrupted);

// The next piece of the edited line, a new line being read with `prompt`
// (and kept in the history) when the current one is used up; 0 at the end.
std::size_t read_edited(char* buffer, std::size_t size, const std::string& prompt, bool& interrupted);
// The next character of the edited line, a new line being read without a
// prompt or history when it is used up; EOF at the end or on Ctrl-C.
int next_edited_char();
// What is left of the edited line, which is then forgotten.
std::string take_rest_of_edited_line();
