// The calculator's own command-line options and script arguments, read
// after the toolkit has taken its options out of the command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct CommandLine {
    bool show_help = false;
    bool show_version = false;
    bool line_mode = false;                   // read and answer each line as it arrives
    bool keep_on_interrupt = false;           // SIGINT stops the statement, as Ctrl-C at a terminal
    bool kernel_protocol = false;             // status frames and requests for a driving program
    bool virtual_display = false;             // start a private display when none can be reached
    bool interactive_after_scripts = false;   // go on at standard input after the scripts
    bool line_editing = true;                 // the line editor on a terminal
    std::vector<std::string> scripts;         // in order; "-" is standard input
    std::optional<std::string> figure_path;   // write the picture shown at the end there
    std::optional<std::string> figure_size;   // "WIDTHxHEIGHT" of that picture
    std::string error;                        // why the command line was refused; empty when it was not
};

// argv[0] is the program's name and is skipped.
CommandLine parse_command_line(int argc, char** argv);

// The whole --help text: usage, options, keys, where to read more.
std::string usage_text(const std::string& program);
std::string version_text();
