// Error lines of the interpreter.
#include "base/error_report.h"

#include <cstdio>

int line_number = 1;
bool input_ended = false;

void report_error(const std::string& message) {
    if (input_ended) {
        std::fputs("\nEnd of file parsing.\n\n", stdout);
        return;
    }
    std::printf("> Error - line %d : %s \n", line_number, message.c_str());
}

void report_polylib_failure(const std::string& what) {
    report_error("PolyLib failed on " + what +
                 " (arithmetic overflow or work space exceeded) - command ignored");
}
