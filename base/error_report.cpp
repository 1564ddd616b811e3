// Error lines of the interpreter.
#include "base/error_report.h"

void report_error(StatementReport& report, const std::string& message) {
    if (report.input_ended) {
        if (report.statement_under_way) note_refusal(report);
        std::fputs("\nEnd of file parsing.\n\n", report.out);
        return;
    }
    note_refusal(report);
    if (report.input_name.empty())
        std::fprintf(report.out, "> Error - line %d : %s \n", report.line_number, message.c_str());
    else
        std::fprintf(report.out, "> Error - %s, line %d : %s \n", report.input_name.c_str(),
                     report.line_number - report.input_first_line + 1, message.c_str());
}

void report_polylib_failure(StatementReport& report, const std::string& what) {
    report_error(report, "PolyLib failed on " + what +
                             " (arithmetic overflow or work space exceeded) - command ignored");
}
