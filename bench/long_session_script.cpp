// Writes a generated session of N statements to standard output, for the
// long-session measurements of RESULTS.md:
//   long_session_script N [SEED] [--with-polylib-losses] > session.txt
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/support/session_script.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: long_session_script STATEMENTS [SEED] [--with-polylib-losses]\n", stderr);
        return 2;
    }
    SessionOptions options;
    options.statements = std::atol(argv[1]);
    for (int k = 2; k < argc; ++k) {
        if (std::strcmp(argv[k], "--with-polylib-losses") == 0)
            options.polylib_failures_with_losses = true;
        else
            options.seed = static_cast<std::uint32_t>(std::strtoul(argv[k], nullptr, 10));
    }
    write_session_script(stdout, options);
    return 0;
}
