// Error lines of the interpreter.
#include "base/error_report.h"

#include <cstdio>

int line_number = 1;
bool input_ended = false;
std::string input_name;
int input_first_line = 1;
int statement_refused = 0;
bool statement_under_way = false;

void report_error(const std::string& message) {
    if (input_ended) {
        if (statement_under_way) note_refusal();
        std::fputs("\nEnd of file parsing.\n\n", stdout);
        return;
    }
    note_refusal();
    if (input_name.empty())
        std::printf("> Error - line %d : %s \n", line_number, message.c_str());
    else
        std::printf("> Error - %s, line %d : %s \n", input_name.c_str(), line_number - input_first_line + 1,
                    message.c_str());
}

void report_polylib_failure(const std::string& what) {
    report_error("PolyLib failed on " + what +
                 " (arithmetic overflow or work space exceeded) - command ignored");
}
