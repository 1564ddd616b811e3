// PolyLib writes some diagnostics of its own on standard output while it
// computes ("Domain Overflow: ..."); in the analysis worker, standard output
// is the answer. While a SilencedOutput lives (until restore), standard
// output goes to /dev/null.
#pragma once

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

class SilencedOutput {
public:
    SilencedOutput() {
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0) dup2(null, STDOUT_FILENO);
        if (null >= 0) close(null);
    }
    ~SilencedOutput() { restore(); }
    SilencedOutput(const SilencedOutput&) = delete;
    SilencedOutput& operator=(const SilencedOutput&) = delete;

    // Standard output is the answer again; what was written meanwhile is gone.
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
        saved_ = -1;
        std::clearerr(stdout);
    }

private:
    int saved_ = -1;
};
