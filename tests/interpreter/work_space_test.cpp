// The work-space budget: a declaration, operation or analysis whose PolyLib
// matrices would pass it is refused with one line before anything is
// allocated, and the stores stay as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/processes.h"

namespace {

struct BudgetRun {
    std::string out;
    long peak_kib = -1;        // the calculator's peak resident memory
    long tree_peak_kib = -1;   // the calculator's and its children's together, sampled
    bool exited_normally = false;
    int exit_status = -1;
};

std::string temporary_file(const std::string& text) {
    char path[] = "/tmp/qarnest-budget-XXXXXX";
    int fd = mkstemp(path);
    std::FILE* file = fdopen(fd, "w");
    std::fputs(text.c_str(), file);
    std::fclose(file);
    return path;
}

// The script on standard input, or named on the command line as a script file.
BudgetRun run_measured(const std::string& script, bool as_script_file = false) {
    std::string input = temporary_file(script);
    std::string output = temporary_file("");
    pid_t pid = fork();
    if (pid == 0) {
        int in = open(input.c_str(), O_RDONLY);
        int out = open(output.c_str(), O_WRONLY | O_TRUNC);
        int null = open("/dev/null", O_WRONLY);
        dup2(in, 0);
        dup2(out, 1);
        dup2(null, 2);
        if (as_script_file)
            execl(QARNEST_BINARY, QARNEST_BINARY, input.c_str(), static_cast<char*>(nullptr));
        else
            execl(QARNEST_BINARY, QARNEST_BINARY, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    long tree_peak = 0;
    while (wait4(pid, &status, WNOHANG, &usage) == 0) {
        tree_peak = std::max(tree_peak, tree_resident_kib(pid));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    BudgetRun run;
    run.tree_peak_kib = tree_peak;
    run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream file(output);
    std::stringstream text;
    text << file.rdbuf();
    run.out = text.str();
    run.peak_kib = usage.ru_maxrss;
    run.exited_normally = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    unlink(input.c_str());
    unlink(output.c_str());
    return run;
}

std::string variables(int count) {
    std::string list;
    for (int k = 0; k < count; ++k) list += (k ? ", x" : "x") + std::to_string(k);
    return list;
}

// 10,000 variables took 2.36 GB of PolyLib matrices; 20,000 more than that.
TEST(WorkSpaceBudget, HugeDeclarationIsRefusedBeforePolyLibAllocates) {
    BudgetRun run = run_measured("P := { " + variables(20000) + " | x0 >= 0, x19999 <= 4 } ;\nlist ;\n");
    ASSERT_TRUE(run.exited_normally) << run.out;
    EXPECT_EQ(run.out,
              "<1> > polyhedron declaration would need about 21475 MB of work space, more than the 512 MB allowed - "
              "Action cancelled !\n"
              "<2> > Domain List: \n\n> Matrix List : \n\t\n<3> End.\n");
    EXPECT_LT(run.peak_kib, 128 * 1024);
}

// A domain within the budget, and the work on it that is not.
TEST(WorkSpaceBudget, OperationsAndAnalysesBeyondItAreRefusedAndStoreNothing) {
    std::string rows;
    for (int k = 0; k < 3000; ++k) rows += "(1, 0), ";
    std::string script = "A := { " + variables(2600) + " | x0 >= 0 } ;\n" +
                         "C := A union A ;\n"
                         "K := { x2599 | x2599 >= 0 } ;\n"
                         "ehrhart (A, K) ;\n"
                         "vertices (A, K) ;\n"
                         "E := { i | 0 <= i <= 1 } ;\n"
                         "M := (" + rows + "(0, 1)) ;\n"
                         "F := image (E, M) ;\n"
                         "list ;\n";
    BudgetRun run = run_measured(script);
    ASSERT_TRUE(run.exited_normally) << run.out.substr(0, 2000);
    const char* const refusals[] = {
        "<2> > Error - line 2 : the union of 'A' and 'A' would need about 1099 MB of work space, more than the 512 MB "
        "allowed - command ignored \n",
        "<4> > Error - line 4 : the Ehrhart polynomial of 'A' would need about 738 MB of work space, more than the "
        "512 MB allowed - command ignored \n",
        "<5> > Error - line 5 : the parametric vertices of 'A' would need about 738 MB of work space, more than the "
        "512 MB allowed - command ignored \n",
        "<8> > Error - line 8 : the image of 'E' by 'M' would need about 980 MB of work space, more than the 512 MB "
        "allowed - command ignored \n",
    };
    for (const char* refusal : refusals) EXPECT_NE(run.out.find(refusal), std::string::npos) << refusal;
    std::size_t list = run.out.find("> Domain List: \n");
    ASSERT_NE(list, std::string::npos);
    std::string stored = run.out.substr(list);
    EXPECT_NE(stored.find(">   E :=   { i | i <= 1, i >= 0 }\n>   K :=   { x2599 | x2599 >= 0 }\n>   A :=   { x0, "),
              std::string::npos);
    EXPECT_EQ(stored.find(">   C :="), std::string::npos);
    EXPECT_EQ(stored.find(">   F :="), std::string::npos);
}

// Boxes whose PolyLib work grows without end (a 300-dimensional box has
// 2^300 vertices: it took 3 GB before) or whose matrices pass the budget at
// once: one line, a script ends with status 1, and the memory of the whole
// process tree stays within the budget and a margin for the calculator's
// and the worker's own pages (the worker starts as a copy of the calculator).
TEST(WorkSpaceBudget, BoundsTheMemoryOfTheWholeCalculator) {
    const long budget_kib = 512 * 1024, margin_kib = 96 * 1024;
    struct Case {
        int variables;
        const char* refusal;
    };
    const Case cases[] = {
        {300, "needs more than the 512 MB of work space allowed"},
        {3000, "would need about 513 MB of work space, more than the 512 MB allowed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.variables) + " variables");
        std::string bounds;
        for (int k = 0; k < c.variables; ++k) bounds += (k ? ", 0 <= x" : "0 <= x") + std::to_string(k) + " <= 1";
        BudgetRun run = run_measured("P := { " + variables(c.variables) + " | " + bounds +
                                     " } ;\nQ := { i | 0 <= i <= 2 } ;\nlist ;\n",
                                     true);
        EXPECT_EQ(run.exit_status, 1) << run.out;
        EXPECT_EQ(run.out, std::string("<1> > polyhedron declaration ") + c.refusal +
                               " - Action cancelled !\n"
                               "<2> > Q :=   { i | i <= 2, i >= 0 }\n"
                               "<3> > Domain List: \n>   Q :=   { i | i <= 2, i >= 0 }\n\n> Matrix List : \n\t\n<4> End.\n");
        EXPECT_LT(run.tree_peak_kib, budget_kib + margin_kib);
        std::printf("%d variables: the process tree's peak resident memory was %ld MiB\n", c.variables,
                    run.tree_peak_kib / 1024);
    }
}

}  // namespace
