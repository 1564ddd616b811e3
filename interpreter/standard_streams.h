// The process's standard descriptors: open before anything else opens a
// file, and a failed write to standard output never taken for success.
#pragma once

// Opens /dev/null on any of descriptors 0, 1 and 2 that is closed, so that
// no later file or connection (the X server's) takes its place.
void open_closed_standard_descriptors();

// Flushes standard output; on a failed write, or when standard output is a
// pipe whose reader has gone, writes one line on standard error and ends
// the process with status 2.
void check_standard_output();

// True when standard output is a pipe that nobody reads any more.
bool standard_output_abandoned();
