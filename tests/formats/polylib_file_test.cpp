// PolyLib matrix files: what we read from files in PolyLib's format, the
// problems found with their lines, and what we write as PolyLib's own
// Matrix_Read (in a program of its own) reads it back.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "base/locks.h"
#include "formats/isl_notation.h"
#include "formats/polylib_file.h"

namespace {

using Rows = std::vector<std::vector<std::int64_t>>;

struct ReadCase {
    const char* name;
    const char* text;
    unsigned dimension;
    std::vector<std::string> names;
    std::vector<Rows> pieces;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class MatrixFileReading : public ::testing::TestWithParam<ReadCase> {};

TEST_P(MatrixFileReading, GivesOnePiecePerMatrix) {
    const ReadCase& c = GetParam();
    auto read = read_polylib_matrices(c.text);
    ASSERT_TRUE(std::holds_alternative<MatrixFileDomain>(read)) << std::get<TextProblem>(read).message;
    const MatrixFileDomain& d = std::get<MatrixFileDomain>(read);
    EXPECT_EQ(d.dimension, c.dimension);
    EXPECT_EQ(d.names, c.names);
    ASSERT_EQ(d.pieces.size(), c.pieces.size());
    for (std::size_t k = 0; k < c.pieces.size(); ++k) EXPECT_EQ(Rows(d.pieces[k].begin(), d.pieces[k].end()), c.pieces[k]);
}

const ReadCase files[] = {
    {"OneMatrix", "3 5\n1 -1 0 1 0\n1 1 -1 0 0\n1 0 1 0 0\n", 3, {},
     {{{1, -1, 0, 1, 0}, {1, 1, -1, 0, 0}, {1, 0, 1, 0, 0}}}},
    {"CommentsAnywhere",
     "# The triangle 0 <= j <= i <= N\n#\n3 5   # rows and columns\n1 -1 0 1 0   # i <= N\n# between rows\n\n"
     "1 1 -1 0 0\n\t1 0 1 0 0\n# after\n",
     3, {}, {{{1, -1, 0, 1, 0}, {1, 1, -1, 0, 0}, {1, 0, 1, 0, 0}}}},
    {"SeveralMatricesAUnion", "# first\n2 3\n1 1 0\n1 -1 5\n# second\n2 3\n1 1 -10\n1 -1 20\n", 1, {},
     {{{1, 1, 0}, {1, -1, 5}}, {{1, 1, -10}, {1, -1, 20}}}},
    {"SignsAndSixtyFourBits", "2 3\n+1 -1 +5000000000\n0 +2 -9223372036854775807\n", 1, {},
     {{{1, -1, 5000000000L}, {0, 2, -9223372036854775807L}}}},
    {"NoRowsIsTheUniverse", "0 4\n", 2, {}, {{}}},
    {"NoFinalNewline", "1 3\n1 1 0", 1, {}, {{{1, 1, 0}}}},
    {"CarriageReturns", "1 3\r\n1 1 0\r\n", 1, {}, {{{1, 1, 0}}}},
    {"NamesComment", "# variables: i j N\n1 5\n1 1 0 0 0\n", 3, {"i", "j", "N"}, {{{1, 1, 0, 0, 0}}}},
    {"NamesOfAnotherCountIgnored", "# variables: i j\n1 5\n1 1 0 0 0\n", 3, {}, {{{1, 1, 0, 0, 0}}}},
    {"ZeroDimensions", "1 2\n0 1\n", 0, {}, {{{0, 1}}}},
};
INSTANTIATE_TEST_SUITE_P(Files, MatrixFileReading, ::testing::ValuesIn(files),
                         [](const auto& info) { return std::string(info.param.name); });

struct ProblemCase {
    const char* name;
    const char* text;
    int line;
    const char* message;
};

void PrintTo(const ProblemCase& c, std::ostream* os) { *os << c.name; }

class MatrixFileProblems : public ::testing::TestWithParam<ProblemCase> {};

TEST_P(MatrixFileProblems, AreFoundAtTheirLine) {
    const ProblemCase& c = GetParam();
    auto read = read_polylib_matrices(c.text);
    ASSERT_TRUE(std::holds_alternative<TextProblem>(read));
    EXPECT_EQ(std::get<TextProblem>(read).line, c.line);
    EXPECT_EQ(std::get<TextProblem>(read).message, c.message);
}

const ProblemCase problems[] = {
    {"Empty", "# nothing\n\n", 2, "no matrix in the file"},
    {"BadHeader", "# c\n3\n", 2, "a matrix begins with its numbers of rows and columns, not '3'"},
    {"ShortRow", "2 4\n1 0 0 1\n1 0 1\n", 3, "a row of 3 values in a matrix of 4 columns"},
    {"LongRow", "1 3\n1 0 0 5\n", 2, "a row of 4 values in a matrix of 3 columns"},
    {"NotANumber", "1 3\n1 x 0\n", 2, "'x' is not an integer of 64 bits"},
    {"BeyondSixtyFourBits", "1 3\n1 1 9223372036854775808\n", 2, "'9223372036854775808' is not an integer of 64 bits"},
    {"BadFlag", "1 3\n2 1 0\n", 2, "a constraint row begins with 0 (an equality) or 1 (an inequality), not 2"},
    {"MissingRows", "3 3\n1 1 0\n\n# gone\n", 4, "the matrix of line 1 ends after 1 of its 3 rows"},
    {"DifferentDimensions", "1 3\n1 1 0\n1 4\n1 1 0 0\n", 3,
     "this matrix has 4 columns and the first 3: the polyhedra of a domain have one dimension"},
    {"TooFewColumns", "1 1\n1\n", 1, "a constraint matrix has at least 2 columns (the flag and the constant), not 1"},
};
INSTANTIATE_TEST_SUITE_P(Files, MatrixFileProblems, ::testing::ValuesIn(problems),
                         [](const auto& info) { return std::string(info.param.name); });

DomainPtr domain_from(const char* isl) {
    ParsedSet set = std::get<ParsedSet>(read_isl_set(isl));
    DomainLock lock;
    return std::move(std::get<DomainPtr>(build_domain_from_rows(static_cast<unsigned>(set.names.size()), set.pieces)));
}

struct WriteCase {
    const char* name;
    const char* isl;
    std::vector<std::string> names;
};

void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

const WriteCase written[] = {
    {"Triangle", "[N] -> { [i, j] : 0 <= j <= i <= N }", {"i", "j", "N"}},
    {"UnionOfThree", "{ [i, j] : 0 <= i, j <= 2 or 5 <= i <= 7 and j = i or i >= 10 and j >= 2i }", {"i", "j"}},
    {"Unbounded", "{ [i, j] : i >= j }", {"i", "j"}},
    {"Empty", "{ [i] : false }", {"i"}},
    {"Equalities", "{ [i, j, k] : 2i = j + 1 and k = i + j and 0 <= i <= 5 }", {"i", "j", "k"}},
    {"SixtyFourBits", "{ [i, j] : i >= 5000000000 and j <= i - 6000000000 and j >= 0 or 3000000000 i >= 7 and i <= 100 }", {"i", "j"}},
    {"ZeroDimensions", "{ [] }", {}},
};

std::string temporary_file(const std::string& text) {
    char name[] = "/tmp/qarnest-polylib-XXXXXX";
    int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(fd);
    return name;
}

// The client's lines: "polyhedron", then one line of values per row.
std::vector<Rows> read_by_matrix_read(const std::string& file) {
    std::string command = std::string(MATRIX_READ_CLIENT) + " < " + file;
    FILE* pipe = popen(command.c_str(), "r");
    std::vector<Rows> polyhedra;
    char line[4096];
    while (pipe && std::fgets(line, sizeof line, pipe)) {
        if (std::string(line) == "polyhedron\n") {
            polyhedra.emplace_back();
            continue;
        }
        std::vector<std::int64_t> row;
        for (char* p = line; *p && *p != '\n';) {
            char* end;
            row.push_back(std::strtoll(p, &end, 10));
            p = end;
        }
        if (!polyhedra.empty()) polyhedra.back().push_back(row);
    }
    EXPECT_EQ(pipe ? pclose(pipe) : -1, 0);
    return polyhedra;
}

class MatrixFileWriting : public ::testing::TestWithParam<WriteCase> {};

TEST_P(MatrixFileWriting, MatrixReadBuildsTheSamePolyhedra) {
    const WriteCase& c = GetParam();
    DomainPtr domain = domain_from(c.isl);
    std::vector<Rows> ours;
    std::string text;
    {
        DomainLock lock;
        for (const Polyhedron* p = domain.get(); p; p = p->next) {
            PieceRows rows = rows_of(p);
            ours.emplace_back(rows.begin(), rows.end());
        }
        text = polylib_matrix_text(c.name, domain.get(), c.names);
    }
    std::string file = temporary_file(text);
    EXPECT_EQ(read_by_matrix_read(file), ours) << text;
    unlink(file.c_str());

    auto again = read_polylib_matrices(text);
    ASSERT_TRUE(std::holds_alternative<MatrixFileDomain>(again)) << text;
    const MatrixFileDomain& d = std::get<MatrixFileDomain>(again);
    EXPECT_EQ(d.names, c.names);
    std::vector<Rows> read_back;
    for (const PieceRows& rows : d.pieces) read_back.emplace_back(rows.begin(), rows.end());
    EXPECT_EQ(read_back, ours);
}

INSTANTIATE_TEST_SUITE_P(Domains, MatrixFileWriting, ::testing::ValuesIn(written),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MatrixFileWriting, SaysWhatTheRowsHold) {
    DomainPtr domain = domain_from("{ [i, j] : 0 <= i <= 2 or i = j }");
    DomainLock lock;
    EXPECT_EQ(polylib_matrix_text("U", domain.get(), {"i", "j"}),
              "# Domain 'U': 2 constraint matrices, one per polyhedron of the union.\n"
              "# A row is 0 for an equality or 1 for an inequality, the coefficients of i, j,\n"
              "# then the constant: the row states coefficients . x + constant = 0 or >= 0.\n"
              "# variables: i j\n"
              "\n# polyhedron 1 of 2\n2 4\n 1 -1  0  2\n 1  1  0  0\n"
              "\n# polyhedron 2 of 2\n2 4\n 0  1 -1  0\n 1  0  0  1\n");
}

}  // namespace
