// Statements that PolyLib cannot carry out (its arithmetic overflows, it
// aborts, or it refuses operands of different dimensions): each ends with
// one line from the calculator, every store is as it was, and the session
// goes on.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/run_program.h"

namespace {

struct FailureCase {
    const char* name;
    const char* stores;      // statements that fill the stores, one per line
    const char* statement;   // the statement that fails, on the line after the first "list ;"
    const char* line;        // the one line it writes
    bool polylib_throws;     // PolyLib loses what it had allocated when it throws
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

int count_lines(const std::string& text) {
    int n = 0;
    for (char c : text) n += c == '\n';
    return n;
}

// The output of the statement on line `line`: from its prompt's end to the next prompt.
std::string output_of_line(const std::string& out, int line) {
    std::string prompt = "<" + std::to_string(line) + "> ";
    std::string next = "<" + std::to_string(line + 1) + "> ";
    std::size_t begin = out.find(prompt);
    if (begin == std::string::npos) return "(no prompt " + prompt + ")";
    begin += prompt.size();
    std::size_t end = out.find(next, begin);
    return out.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

ProgramResult run_without_leak_check(const std::string& script) {
    const char* saved = std::getenv("ASAN_OPTIONS");
    std::string previous = saved ? saved : "";
    setenv("ASAN_OPTIONS", (previous.empty() ? "detect_leaks=0" : previous + ":detect_leaks=0").c_str(), 1);
    ProgramResult r = run_qarnest(script);
    if (saved)
        setenv("ASAN_OPTIONS", previous.c_str(), 1);
    else
        unsetenv("ASAN_OPTIONS");
    return r;
}

class PolyLibFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(PolyLibFailure, OneLineAndUnchangedStores) {
    const FailureCase& c = GetParam();
    std::string stores = c.stores;
    int list_line = count_lines(stores) + 1;
    std::string script = stores + "list ;\n" + c.statement + "\nlist ;\nprint Z ;\n";
    ProgramResult r = c.polylib_throws ? run_without_leak_check(script) : run_qarnest(script);
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(output_of_line(r.out, list_line + 1), c.line) << r.out;
    EXPECT_EQ(output_of_line(r.out, list_line + 2), output_of_line(r.out, list_line)) << "the stores changed";
    EXPECT_EQ(output_of_line(r.out, list_line + 3), "> Error - line " + std::to_string(list_line + 3) +
                                                        " :  'Z' undeclared - print: command ignored \n")
        << "the session did not go on";
}

const char* const overflowing_domains =
    "A := { i, j, k | 1000 i + 999 j + 998 k <= 3000, 997 i - 1000 j + 993 k >= -2000, 0 <= i, 0 <= j, 0 <= k } ;\n"
    "B := { i, j, k | 991 i + 999 j - 998 k <= 1005, 997 i - 1001 j + 993 k >= -989, 987 i + 1017 j + 981 k >= 3 } ;\n"
    "E := A union B ;\n";

const char* const mixed_dimensions =
    "A := { i | 0 <= i <= 3 } ;\n"
    "B := { i, j | 0 <= i <= j <= 3 } ;\n"
    "E := { | } ;\n"
    "M := ((1, 2), (0, 1)) ;\n";

const FailureCase failure_cases[] = {
    {"OverflowInADeclaration", mixed_dimensions,
     "P := { i | 2147483647 * 2147483647 * 2 i >= 2147483647 * 2147483647 * 2 } ;",
     "> Error - line 6 : PolyLib failed on the declaration of 'P' (arithmetic overflow or work space exceeded) - "
     "command ignored \n",
     true},
    {"OverflowInAConvexHull", overflowing_domains, "F := convex E ;",
     "> Error - line 5 : PolyLib failed on the convex hull of 'E' (arithmetic overflow or work space exceeded) - "
     "command ignored \n",
     true},
    {"OverflowInADisjointDecomposition", overflowing_domains, "G := dd E ;",
     "> Error - line 5 : PolyLib failed on the disjoint decomposition of 'E' (arithmetic overflow or work space "
     "exceeded) - command ignored \n",
     true},
    {"OverflowInAPreimage",
     "B := { i, j, k | 991 i + 999 j - 998 k <= 1005, 997 i - 1001 j + 993 k >= -989, 987 i + 1017 j + 981 k >= 3 } ;\n"
     "M := ((1000, 999, 998, 0), (997, 1000, 993, 0), (991, 999, 998, 0), (0, 0, 0, 1)) ;\n",
     "H := preimage (B, M) ;",
     "> Error - line 4 : PolyLib failed on the preimage of 'B' by 'M' (arithmetic overflow or work space exceeded) - "
     "command ignored \n",
     true},
    {"EnumerationAbortsOnOverflow",
     "P := { i, j, N, M | 0 <= 42 i <= N, 0 <= 43 j <= i + M } ;\n"
     "K := { N, M | N >= 0, M >= 0 } ;\n",
     "ehrhart (P, K) ;",
     // PolyLib aborts; then the vertices' chambers would need too many counts (periods 1806 and 43).
     "> Error - line 4 : the Ehrhart polynomial of 'P': PolyLib's enumeration failed, and the counts that would give "
     "its quasi-polynomials are too many - command ignored \n",
     false},
    {"UnionOfDifferentDimensions", mixed_dimensions, "R := A union B ;",
     "> Error - line 6 : union : 'A' has 1 dimension and 'B' has 2 dimensions - command ignored \n", false},
    {"IntersectionOfDifferentDimensions", mixed_dimensions, "R := B . A ;",
     "> Error - line 6 : inter : 'B' has 2 dimensions and 'A' has 1 dimension - command ignored \n", false},
    {"DifferenceWithTheEmptyDeclaration", mixed_dimensions, "R := A diff E ;",
     "> Error - line 6 : diff : 'A' has 1 dimension and 'E' has 0 dimensions - command ignored \n", false},
    {"ImageOfTheWrongDimension", mixed_dimensions, "R := image (B, M) ;",
     "> Error - line 6 : image : matrix 'M' cannot map domain 'B': it is 2x2, and the image of a domain of "
     "dimension 2 needs 3 columns - command ignored \n",
     false},
};
INSTANTIATE_TEST_SUITE_P(Statements, PolyLibFailure, ::testing::ValuesIn(failure_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// PolyLib's enumeration aborts through a failed assertion, after tracing
// its exception: neither reaches the user, who gets the calculator's line.
TEST(EnumerationAbort, LeavesNothingOnStandardError) {
    ProgramResult r = run_qarnest("P := { i, j, N, M | 0 <= 42 i <= N, 0 <= 43 j <= i + M } ;\n"
                                  "K := { N, M | N >= 0, M >= 0 } ;\nehrhart (P, K) ;\n");
    EXPECT_NE(r.out.find("<3> > Error - line 3 : the Ehrhart polynomial of 'P': PolyLib's enumeration failed"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.err, "");
}

// PolyLib reports different dimensions on standard error and returns nothing;
// the calculator no longer hands it such operands.
TEST(DifferentDimensions, PolyLibIsNotCalled) {
    ProgramResult r = run_qarnest(std::string(mixed_dimensions) + "R := A union B ;\nS := A . B ;\nT := B - A ;\n");
    EXPECT_EQ(r.err, "");
}

// Polyhedron2Rays reads past the ray pointers of a polyhedron without rays;
// their ray matrix, without rows, is printed without it.
TEST(RaysOfPolyhedraWithoutRays, AreMatricesWithoutRows) {
    ProgramResult r = run_qarnest("E := { | } ;\nF := { i | i >= 1, i <= 0 } ;\nPLrays E ;\nPLrays F ;\n");
    EXPECT_EQ(r.out,
              "<1> > E := { | }\n<2> > F :=   { i | i = 0, 0 = -1 }\n"
              "<3> > Domain 'E' - Rays matrix:\n0 2\n\n<4> > Domain 'F' - Rays matrix:\n0 3\n\n<5> End.\n");
}

}  // namespace
