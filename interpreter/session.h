// One running calculator: its store and output, the declaration under way,
// the scanner and parser over its inputs, and how it hears the user. The
// program runs one session; a test may run several side by side.
#pragma once

#include <cstdio>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "interpreter/declarations.h"
#include "interpreter/input_reading.h"
#include "interpreter/input_sources.h"
#include "gui/viewer_windows.h"
#include "store/registry.h"
#include "view/stop_requests.h"
#include "view/viewer.h"

class Session final : public StoreSession, public StatementReader, public StopRequests {
public:
    // Writes to `out`; reads standard input until scanner_set_inputs says otherwise.
    explicit Session(FILE* out = stdout);
    ~Session();

    // The viewer of this session's store and its windows, empty until initvisu.
    Viewer viewer;
    ViewerWindows viewer_windows{viewer};
    Declaration declaration{*this, viewer_windows};
    ScannerState scanning;
    TerminalReading terminal;
    // The parser's: "quit" was read; a parse begins again after a dropped statement.
    bool quit_requested = false;
    bool parse_restarted = false;
    // False when no X display could be opened: the viewer statements then
    // answer with one line and everything else works.
    bool display_available = true;
    // The values of a parameters statement, read so far.
    std::vector<std::pair<std::string, std::int64_t>> parameter_values;
    // A terminal session: Ctrl-C abandons the statement under way.
    bool abandon_on_interrupt = false;
    // Ctrl-C, or a reader of the answers that has gone, stops an analysis.
    bool cancel_unwanted_analyses = false;

    int get_answer_char() override { return dialogue_get_char(*this); }
    void unget_answer_char(int c) override { dialogue_unget_char(*this, c); }
    void dialogue_finished() override { ::dialogue_finished(*this); }
    bool answers_are_lines() override { return ::answers_are_lines(*this); }
    bool statement_abandoned() override;
    bool analysis_cancelled() override;
    unsigned long stop_requests() const override;
};
