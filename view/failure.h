// The one line the viewer writes when PolyLib gives up on its work.
#pragma once

// "> Can't <what>: PolyLib failed (arithmetic overflow or work space exceeded)"
void report_viewer_failure(const char* what);
