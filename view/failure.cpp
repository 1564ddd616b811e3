// The viewer's report of a PolyLib failure: one line, nothing else changes.
#include "view/failure.h"

#include <cstdio>

void report_viewer_failure(const char* what) {
    std::printf("> Can't %s: PolyLib failed (arithmetic overflow or work space exceeded)\n", what);
}
