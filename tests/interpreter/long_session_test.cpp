// Long use: generated sessions of declarations, operations, analyses,
// prints, deletions and errors run to their end, with memory that does not
// grow with the length of the session, and nothing valgrind objects to.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/run_program.h"
#include "tests/support/session_script.h"

namespace {

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QARNEST_ADDRESS_SANITIZER 1
#endif
#if __has_feature(thread_sanitizer)
#define QARNEST_THREAD_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define QARNEST_ADDRESS_SANITIZER 1
#endif
#if defined(__SANITIZE_THREAD__)
#define QARNEST_THREAD_SANITIZER 1
#endif

constexpr long short_session = 5000;
constexpr long long_session = 40000;
// A loss of 15 bytes a statement over the 35,000 extra statements exceeds it.
constexpr long allowed_growth_kib = 512;

// Statements whose PolyLib calls once read past PolyLib's own arrays.
const char* const corner_statements =
    "E := { | } ;\nPLrays E ;\nPLcons E ;\nPLprint E ;\nF := E union E ;\nG := convex E ;\nH := dd E ;\n"
    "Z := { i | i >= 1, i <= 0 } ;\nPLrays Z ;\nPLprint Z ;\n";

struct ScriptFile {
    std::string path;
    explicit ScriptFile(const std::string& text) {
        char name[] = "/tmp/qarnest-session-XXXXXX";
        int fd = mkstemp(name);
        path = name;
        std::FILE* out = fdopen(fd, "w");
        std::fwrite(text.data(), 1, text.size(), out);
        std::fclose(out);
    }
    ~ScriptFile() { unlink(path.c_str()); }
};

struct ScriptRun {
    int exit_status = -1;
    long peak_kib = -1;
};

// Runs a program with the script on standard input and its output thrown away.
ScriptRun run_on_script(const std::vector<std::string>& command, const ScriptFile& script) {
    pid_t pid = fork();
    if (pid == 0) {
        int in = open(script.path.c_str(), O_RDONLY);
        int out = open("/dev/null", O_WRONLY);
        dup2(in, 0);
        dup2(out, 1);
        dup2(out, 2);
        std::vector<char*> argv;
        for (const auto& word : command) argv.push_back(const_cast<char*>(word.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    ScriptRun run;
    run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peak_kib = usage.ru_maxrss;
    return run;
}

std::string session(long statements) {
    SessionOptions options;
    options.statements = statements;
    return session_script(options);
}

TEST(LongSession, RunsToTheEndWithEveryPrompt) {
    ProgramResult r = run_qarnest(session(long_session), {}, std::chrono::seconds(240));
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_status, 0) << r.err.substr(0, 2000);
    std::string last_prompt = "<" + std::to_string(long_session + 1) + "> End.\n";
    ASSERT_GE(r.out.size(), last_prompt.size());
    EXPECT_EQ(r.out.substr(r.out.size() - last_prompt.size()), last_prompt);
    std::size_t at = 0;
    for (long line = 2; line <= long_session + 1; ++line) {
        at = r.out.find("<" + std::to_string(line) + "> ", at);
        ASSERT_NE(at, std::string::npos) << "no prompt for line " << line;
    }
    EXPECT_EQ(r.out.find("Warning : identifier"), std::string::npos) << "the script redefined a stored name";
    EXPECT_NE(r.out.find("PolyLib failed on the declaration of 'P'"), std::string::npos);
    EXPECT_NE(r.out.find("Vertices :"), std::string::npos);
}

TEST(LongSession, PeakMemoryDoesNotGrowWithTheLength) {
#if defined(QARNEST_ADDRESS_SANITIZER) || defined(QARNEST_THREAD_SANITIZER)
    GTEST_SKIP() << "a sanitizer's own memory (quarantine, shadow) grows with the run; leaks are checked elsewhere";
#endif
    ScriptFile few(session(short_session));
    ScriptFile many(session(long_session));
    // A run's peak varies by a few hundred KiB with the timing of the
    // viewer's thread and of the worker; the lowest of three runs is steady,
    // and a leak raises all three.
    auto lowest_peak = [](const ScriptFile& script) {
        ScriptRun lowest;
        for (int run = 0; run < 3; ++run) {
            ScriptRun r = run_on_script({QARNEST_BINARY}, script);
            if (r.exit_status != 0) return r;
            if (lowest.peak_kib < 0 || r.peak_kib < lowest.peak_kib) lowest = r;
        }
        return lowest;
    };
    ScriptRun a = lowest_peak(few);
    ScriptRun b = lowest_peak(many);
    ASSERT_EQ(a.exit_status, 0);
    ASSERT_EQ(b.exit_status, 0);
    RecordProperty("peak_kib_short", std::to_string(a.peak_kib));
    RecordProperty("peak_kib_long", std::to_string(b.peak_kib));
    EXPECT_LT(b.peak_kib - a.peak_kib, allowed_growth_kib)
        << "peak " << a.peak_kib << " KiB after " << short_session << " statements, " << b.peak_kib << " KiB after "
        << long_session;
}

TEST(LongSession, ValgrindFindsNoErrorAndNoDefiniteLeak) {
#if defined(QARNEST_ADDRESS_SANITIZER) || defined(QARNEST_THREAD_SANITIZER)
    GTEST_SKIP() << "valgrind cannot run a sanitized program";
#endif
    if (std::system("valgrind --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "valgrind is not installed (apt-get install valgrind)";
    ScriptFile script(std::string(corner_statements) + session(short_session));
    ScriptRun run = run_on_script({"valgrind", "--error-exitcode=99", "--leak-check=full", "--errors-for-leak-kinds=definite",
                             "--child-silent-after-fork=yes", QARNEST_BINARY},
                            script);
    EXPECT_EQ(run.exit_status, 0) << "valgrind found errors or a definite leak (exit status 99); run it by hand:\n"
                                  << "valgrind --leak-check=full build/qarnest < script";
}

}  // namespace
