// Calculators built inside the test process: each session has its own store,
// its own contexts, its own line count and its own output. Two of them side
// by side, in turn or at the same time, answer as two runs of the program do.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "interpreter/session.h"
#include "tests/support/in_process.h"
#include "tests/support/run_program.h"

namespace {

// What the program writes for a script, less its closing "End.".
std::string program_answer(const std::string& script) {
    ProgramResult result = run_qarnest(script, {}, std::chrono::seconds(60), {"DISPLAY="});
    const std::string end = "End.\n";
    EXPECT_GE(result.out.size(), end.size());
    if (result.out.size() >= end.size()) result.out.resize(result.out.size() - end.size());
    return result.out;
}

// The same names for other domains, contexts, parameters and matrices, and an
// error on a different line in each.
const std::string first_script =
    "K := { N | N >= 0 } ;\n"
    "P := { i, N | 0 <= i <= N } ;\n"
    "ehrhart (P, K) ;\n"
    "vertices (P, K) ;\n"
    "M := ((1, 1), (0, 1)) ;\n"
    "Q := image (P, M) ;\n"
    "R := P union Q ;\n"
    "X := { i | i >= } ;\n"
    "list ;\n";
const std::string second_script =
    "K := { M | M >= 2 } ;\n"
    "P := { i, j, M | 0 <= i, 0 <= j, i + j <= M } ;\n"
    "print Q ;\n"
    "ehrhart (P, K) ;\n"
    "M := ((2, 0, 0), (0, 1, 0), (0, 0, 1)) ;\n"
    "S := image (P, M) ;\n"
    "X := { i | i >= } ;\n"
    "del P ;\n"
    "list ;\n"
    "vertices (P, K) ;\n";

enum class Schedule { OneAfterTheOther, AtTheSameTime };

struct ScheduleCase {
    const char* name;
    Schedule schedule;
};

void PrintTo(const ScheduleCase& c, std::ostream* os) { *os << c.name; }

// The sessions share the process's analysis worker, made by whichever of
// them first needs it.
class TwoSessions : public ::testing::TestWithParam<ScheduleCase> {};

TEST_P(TwoSessions, AnswerAsTwoRunsOfTheProgram) {
    CapturedSession first, second;
    std::string first_text, second_text;
    if (GetParam().schedule == Schedule::OneAfterTheOther) {
        first_text = first.run(first_script);
        second_text = second.run(second_script);
    } else {
        std::thread other([&] { second_text = second.run(second_script); });
        first_text = first.run(first_script);
        other.join();
    }
    EXPECT_EQ(first_text, program_answer(first_script));
    EXPECT_EQ(second_text, program_answer(second_script));
}

const ScheduleCase schedule_cases[] = {
    {"OneAfterTheOther", Schedule::OneAfterTheOther},
    {"AtTheSameTime", Schedule::AtTheSameTime},
};
INSTANTIATE_TEST_SUITE_P(Sessions, TwoSessions, ::testing::ValuesIn(schedule_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// Statements given to one session in turn with another's keep to its own
// store: its names, its context domain, its parameters.
TEST(Sessions, KeepTheirOwnStoresWhenTheyTakeTurns) {
    CapturedSession first, second;
    first.run("K := { N | N >= 0 } ;\nP := { i, N | 0 <= i <= N } ;\n");
    second.run("K := { M | M >= 2 } ;\nP := { i, j, M | 0 <= i, 0 <= j, i + j <= M } ;\n");
    EXPECT_EQ(first.run("list ;\nehrhart (P, K) ;\n"),
              "<1> > Domain List: \n"
              ">   P :=   { i, N | i <= N, i >= 0 }\n"
              ">   K :=   { N | N >= 0 }\n"
              "\n> Matrix List : \n\t\n"
              "<2>          N  >= 0\n"
              "          1 >= 0\n\n"
              "( 1 * N + 1 )\n\n"
              "-----------------------------------\n"
              "<3> ");
    EXPECT_EQ(second.run("list ;\nehrhart (P, K) ;\n"),
              "<1> > Domain List: \n"
              ">   P :=   { i, j, M | i >= 0, j >= 0, i+j <= M }\n"
              ">   K :=   { M | M >= 2 }\n"
              "\n> Matrix List : \n\t\n"
              "<2>          M  -2 >= 0\n"
              "          1 >= 0\n\n"
              "( 1/2 * M^2 + 3/2 * M + 1 )\n\n"
              "-----------------------------------\n"
              "<3> ");
    EXPECT_EQ(first.run("del K ;\n"), "<1> > Succeded ! 'K' is deleted from DomainList\n<2> ");
    EXPECT_EQ(second.run("print K ;\n"), "<1> > K :=   { M | M >= 2 }\n<2> ");
}

// A refusal counts for the session that made it only.
TEST(Sessions, RefusalsBelongToTheirSession) {
    CapturedSession failing, passing;
    failing.run("X := { i | i >= } ;\n");
    passing.run("P := { i | i >= 0 } ;\n");
    EXPECT_TRUE(failing.session().report.statement_refused);
    EXPECT_FALSE(passing.session().report.statement_refused);
}

}  // namespace
