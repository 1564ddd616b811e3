// Long generated sessions: declarations, operations, analyses, prints,
// deletions and malformed statements mixed, one statement a line, for the
// memory and leak checks of long use.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

struct SessionOptions {
    long statements = 1000;
    std::uint32_t seed = 1;
    // Declarations whose coefficients overflow inside PolyLib, which then
    // throws and releases what it had allocated.
    bool polylib_failures = true;
    // Convex hulls that overflow inside PolyLib, which then throws and loses
    // about 5 KB of its own (DomainConvex's ray matrix is never released).
    bool polylib_failures_with_losses = false;
};

// Writes the script. The same options always give the same script, and a
// shorter script is the start of a longer one with the same seed. A stored
// name is never defined again (the overwrite question would read the next
// statement as its answer), and the names come from a small set, so that a
// session of any length holds a bounded number of objects.
void write_session_script(std::FILE* out, const SessionOptions& options);
std::string session_script(const SessionOptions& options);
