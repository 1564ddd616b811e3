// The line editor of a terminal session: GNU Readline, with the history kept
// in ~/.qarnest_history and Tab completing keywords and stored names.
#pragma once

#include <string>

enum class EditedLine { Line, End, Interrupted };

struct Registries;

// Reads the history file (a missing or unreadable one is skipped); Tab then
// completes keywords and the names stored in `names`.
void start_line_editor(const Registries& names);

// Shows `prompt` and reads one line, without its newline. End: Ctrl-D on an
// empty line or the end of input; Interrupted: Ctrl-C, the line dropped.
// A remembered line goes to the history and its file.
EditedLine read_edited_line(const std::string& prompt, std::string& line, bool remember);

// Where the history is kept: $HOME/.qarnest_history, empty without HOME.
std::string history_file_path();
