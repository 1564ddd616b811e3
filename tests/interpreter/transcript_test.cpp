// Statement scripts through a pipe: exact standard output and exit status.
#include <gtest/gtest.h>

#include "tests/support/run_program.h"

namespace {

struct Transcript {
    const char* name;
    const char* input;
    const char* expected;
};

void PrintTo(const Transcript& t, std::ostream* os) { *os << t.name; }

class TranscriptTest : public ::testing::TestWithParam<Transcript> {};

TEST_P(TranscriptTest, WritesExactOutput) {
    const Transcript& t = GetParam();
    ProgramResult r = run_qarnest(t.input);
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.out, t.expected);
}

std::string transcript_name(const ::testing::TestParamInfo<Transcript>& info) { return info.param.name; }

const Transcript start_and_end[] = {
    {"EmptyInput", "", "<1> \nEnd of file parsing.\n\nEnd.\n"},
    {"FinalNewlineGivesPrompt", "list ;\n",
     "<1> > Domain List: \n\n> Matrix List : \n\t\n<2> End.\n"},
    {"NoFinalNewlineNoPrompt", "list ;", "<1> > Domain List: \n\n> Matrix List : \n\t\nEnd.\n"},
    {"QuitStopsReading", "quit list ;\n", "<1> \n bye...\n\nEnd.\n"},
    {"QuitNeedsNoSemicolon", "list ;\nquit\nlist ;\n",
     "<1> > Domain List: \n\n> Matrix List : \n\t\n<2> \n bye...\n\nEnd.\n"},
};
INSTANTIATE_TEST_SUITE_P(StartAndEnd, TranscriptTest, ::testing::ValuesIn(start_and_end), transcript_name);

}  // namespace
