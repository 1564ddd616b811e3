// The options table: one row per option, read by the parser and by --help,
// so that an option is added in one place.
#include "interpreter/options.h"


namespace {

struct OptionRow {
    const char* short_name;   // "-i", or null
    const char* long_name;    // "--interactive"
    const char* value_name;   // shown in --help; null when the option takes no value
    const char* description;
    void (*apply)(CommandLine& line, const std::string& value);
};

const OptionRow option_table[] = {
    {"-h", "--help", nullptr, "show this help and exit",
     [](CommandLine& line, const std::string&) { line.show_help = true; }},
    {nullptr, "--version", nullptr, "show the version and exit",
     [](CommandLine& line, const std::string&) { line.show_version = true; }},
    {"-i", "--interactive", nullptr, "after the script files, go on reading standard input",
     [](CommandLine& line, const std::string&) { line.interactive_after_scripts = true; }},
    {nullptr, "--line-mode", nullptr,
     "read each statement as its line arrives and flush every answer\n"
     "                        (for driving the calculator through pipes)",
     [](CommandLine& line, const std::string&) { line.line_mode = true; }},
    {nullptr, "--keep-on-interrupt", nullptr,
     "Ctrl-C (SIGINT) drops the statement being read or stops the one\n"
     "                        running, as at a terminal, instead of ending the run",
     [](CommandLine& line, const std::string&) { line.keep_on_interrupt = true; }},
    {nullptr, "--kernel-protocol", nullptr,
     "--line-mode and --keep-on-interrupt for a driving program (the\n"
     "                        notebook kernel): a status line before each line is\n"
     "                        read, instead of the prompt, and requests answered",
     [](CommandLine& line, const std::string&) {
         line.kernel_protocol = line.line_mode = line.keep_on_interrupt = true;
     }},
    {nullptr, "--virtual-display", nullptr,
     "without a reachable display, start a virtual one (Xvfb) for the\n"
     "                        run, so that the viewer and figures work",
     [](CommandLine& line, const std::string&) { line.virtual_display = true; }},
    {nullptr, "--no-line-editing", nullptr, "read a terminal without the line editor, history or completion",
     [](CommandLine& line, const std::string&) { line.line_editing = false; }},
    {nullptr, "--figure", "FILE",
     "after the statements, write the picture shown to FILE\n"
     "                        (.svg, .pdf, .png or .tex) and end without waiting;\n"
     "                        without a display, a virtual one is started for the run",
     [](CommandLine& line, const std::string& value) { line.figure_path = value; }},
    {nullptr, "--figure-size", "WxH", "the figure's size in pixels (default 314x348)",
     [](CommandLine& line, const std::string& value) { line.figure_size = value; }},
};

const OptionRow* find_option(const std::string& name) {
    for (const OptionRow& row : option_table)
        if ((row.short_name && name == row.short_name) || name == row.long_name) return &row;
    return nullptr;
}

bool looks_like_option(const std::string& argument) { return argument.size() > 1 && argument[0] == '-'; }

}  // namespace

CommandLine parse_command_line(int argc, char** argv) {
    CommandLine line;
    bool options_ended = false;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (options_ended || !looks_like_option(argument)) {
            line.scripts.push_back(argument);
            continue;
        }
        if (argument == "--") {
            options_ended = true;
            continue;
        }
        std::string name = argument, value;
        bool value_given = false;
        if (auto equals = argument.find('='); argument.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
            value_given = true;
        }
        const OptionRow* row = find_option(name);
        if (!row) {
            line.error = "unknown option '" + argument + "'";
            return line;
        }
        if (row->value_name && !value_given) {
            if (i + 1 >= argc) {
                line.error = "option '" + name + "' needs a value (" + row->value_name + ")";
                return line;
            }
            value = argv[++i];
        } else if (!row->value_name && value_given) {
            line.error = "option '" + name + "' takes no value";
            return line;
        }
        row->apply(line, value);
    }
    return line;
}

std::string usage_text(const std::string& program) {
    std::string text = "Usage: " + program + " [OPTION]... [SCRIPT]...\n"
                       "An interactive calculator for polyhedral domains, with a viewer.\n"
                       "\n"
                       "Statements are read from the SCRIPT files in order, then the run ends as at\n"
                       "the end of input; '-' stands for standard input. Without SCRIPT, statements\n"
                       "are read from standard input. Type 'help ;' for the statements.\n"
                       "\n"
                       "Options:\n";
    for (const OptionRow& row : option_table) {
        std::string names = "  ";
        names += row.short_name ? std::string(row.short_name) + ", " : "    ";
        names += row.long_name;
        if (row.value_name) names += std::string(" ") + row.value_name;
        if (names.size() < 24) names.resize(24, ' ');
        else names += "\n" + std::string(24, ' ');
        text += names + row.description + "\n";
    }
    text += "The toolkit's own options (--display DISPLAY, --sync, ...) are accepted too.\n"
            "\n"
            "Keys at a terminal (line editor):\n"
            "  Left, Right, Home, End, Ctrl-A, Ctrl-E, Alt-B, Alt-F   move in the line\n"
            "  Up, Down, Ctrl-R       earlier statements (kept in ~/.qarnest_history)\n"
            "  Tab                    complete a keyword or a stored domain or matrix name\n"
            "  Ctrl-C                 drop the statement being typed, or stop the one running;\n"
            "                         the stored domains and matrices are kept\n"
            "  Ctrl-D                 on an empty line, end the session\n"
            "\n"
            "Exit status: 0 after a normal end; with SCRIPT files, 1 when a statement was\n"
            "refused or failed; 2 when a file cannot be read, the command line is refused,\n"
            "or standard input or output fails.\n"
            "\n"
            "The viewer needs an X display; without one, every other statement works.\n"
            "More in the README and in the 'help ;' statement.\n";
    return text;
}

std::string version_text() { return std::string("qarnest ") + QARNEST_VERSION + "\n"; }
