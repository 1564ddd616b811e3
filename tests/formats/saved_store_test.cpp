// The statements a saved store is written as, for every kind of entry and
// name, and the reading of saved stores with the lines of their problems.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "base/locks.h"
#include "formats/saved_store.h"

namespace {

const std::set<std::string> keywords = {"list", "print", "del", "dd", "union", "isl", "save", "load"};

struct FileClose {
    void operator()(FILE* f) const { std::fclose(f); }
};

class SavedStoreWriting : public ::testing::Test {
protected:
    std::unique_ptr<FILE, FileClose> sink{std::fopen("/dev/null", "w")};
    StoreSession store{sink.get()};

    // Stored as a definition would store it, without the dialogue: names may repeat.
    void domain(const std::string& name, const char* isl, std::vector<std::string> names = {}) {
        ParsedSet set = std::get<ParsedSet>(read_isl_set(isl));
        if (names.empty()) names = set.names;
        DomainLock lock;
        auto built = build_domain_from_rows(static_cast<unsigned>(set.names.size()), set.pieces);
        VarNode* vars = nullptr;
        for (std::size_t k = 0; k < names.size(); ++k) vars = new VarNode{names[k], static_cast<int>(k) + 1, vars};
        DomainEntry*& list = store.registries.DomainList;
        list = new DomainEntry{name, vars, std::get<DomainPtr>(built).release(), nullptr, nullptr, list};
    }
    void matrix(const std::string& name, std::vector<std::vector<long>> rows) {
        DomainLock lock;
        Matrix* m = Matrix_Alloc(static_cast<unsigned>(rows.size()), static_cast<unsigned>(rows[0].size()));
        for (unsigned r = 0; r < rows.size(); ++r)
            for (unsigned c = 0; c < rows[r].size(); ++c) value_assign(m->p[r][c], rows[r][c]);
        MatrixEntry*& list = store.registries.MatrixList;
        list = new MatrixEntry{name, m, list};
    }
    std::string saved() {
        DomainLock lock;
        auto result = saved_store(store.registries, keywords);
        if (std::holds_alternative<std::string>(result)) return "refused: " + std::get<std::string>(result);
        return std::get<SavedStore>(result).text;
    }
};

TEST_F(SavedStoreWriting, OldestFirstInTheConstraintNotationWhenItReadsBackExactly) {
    domain("T", "[N] -> { [i, j] : 0 <= j <= i <= N }");
    domain("U", "{ [i] : 0 <= i <= 5 or 10 <= i <= 20 }");
    domain("E", "{ [i, j] : false }");
    domain("Z", "{ [] }");
    domain("Y", "{ [] : false }");
    domain("B", "{ [i] : i >= 5000000000 }");
    domain("W", "{ [x, y] }");
    matrix("M", {{1, -2}, {3, 4}});
    matrix("I", {{1}});
    EXPECT_EQ(saved(),
              "T := { i, j, N | i <= N, i >= j, j >= 0 } ;\n"
              "U := { [i] : (i <= 5 and i >= 0) or (i <= 20 and i >= 10) } ;\n"
              "E := { i, j | i = 0, j = 0, 0 = -1 } ;\n"
              "Z := { [] } ;\n"
              "Y := { | } ;\n"
              "B := { [i] : i >= 5000000000 } ;\n"
              "W := { x, y | } ;\n"
              "M := ((1, -2), (3, 4)) ;\n"
              "I := ((1)) ;\n");
}

TEST_F(SavedStoreWriting, NamesGivenAgainOrNotIdentifiersComeFromTheDialoguesAnswers) {
    domain("P", "{ [i] : i >= 0 }");
    domain("P", "{ [i] : i >= 1 }");
    domain("my_set", "{ [i] : i >= 2 }");
    domain("list", "{ [i] : i >= 3 }");
    matrix("M", {{1}});
    matrix("M", {{2}});
    matrix("a-b", {{3}});
    EXPECT_EQ(saved(),
              "P := { i | i >= 0 } ;\n"
              "P := { i | i >= 1 } ;\nn\nP\n"
              "qarnestsaved0 := { | } ;\nqarnestsaved0 := { i | i >= 2 } ;\nn\nmy_set\ndel qarnestsaved0 ;\n"
              "qarnestsaved0 := { | } ;\nqarnestsaved0 := { i | i >= 3 } ;\nn\nlist\ndel qarnestsaved0 ;\n"
              "M := ((1)) ;\n"
              "M := ((2)) ;\nn\nM\n"
              "qarnestsaved0 := ((0)) ;\nqarnestsaved0 := ((3)) ;\nn\na-b\ndel qarnestsaved0 ;\n");
}

TEST_F(SavedStoreWriting, VariableNamesOnlyIslReadsAreWrittenInIsl) {
    domain("P", "{ [i_1, dd] : i_1 <= dd }");
    domain("Q", "{ [a, x] : a <= 3 }", {"and", "x"});
    EXPECT_EQ(saved(), "P := { [i_1, dd] : i_1 <= dd } ;\nQ := { and, x | and <= 3 } ;\n");
}

TEST_F(SavedStoreWriting, RefusedWhenNeitherNotationReadsAVariableNameBack) {
    domain("P", "{ [i] : i >= 0 }");
    domain("R", "{ [a, b] : a + b >= 0 or a >= 4 }", {"or", "b"});
    EXPECT_EQ(saved(), "refused: the variable 'or' of 'R' is a name that neither the constraint notation nor isl's "
                       "reads back");
}

TEST_F(SavedStoreWriting, TheScratchNameIsOneNoEntryHas) {
    domain("qarnestsaved0", "{ [i] }");
    domain("x-y", "{ [i] }");
    EXPECT_EQ(saved(),
              "qarnestsaved0 := { i | } ;\n"
              "qarnestsaved1 := { | } ;\nqarnestsaved1 := { i | } ;\nn\nx-y\ndel qarnestsaved1 ;\n");
}

// Results of PolyLib's operations on random polyhedra, as a session builds
// them: every one must come back with the same rows, in the same order, from
// its saved text.
TEST_F(SavedStoreWriting, OperationResultsReadBackWithTheSameRows) {
    std::srand(7);
    auto random_polyhedron = [](unsigned dimension) {
        unsigned rows = static_cast<unsigned>(std::rand() % 5);
        MatrixPtr m(Matrix_Alloc(rows, dimension + 2));
        for (unsigned r = 0; r < rows; ++r) {
            value_assign(m->p[r][0], std::rand() % 5 ? 1 : 0);
            for (unsigned c = 1; c <= dimension; ++c) value_assign(m->p[r][c], std::rand() % 7 - 3);
            value_assign(m->p[r][dimension + 1], std::rand() % 21 - 5);
        }
        return DomainPtr(Constraints2Polyhedron(m.get(), 100));
    };
    std::vector<std::vector<PieceRows>> expected;
    {
        DomainLock lock;
        for (int k = 0; k < 150; ++k) {
            unsigned dimension = 1 + static_cast<unsigned>(k % 3);
            DomainPtr a = random_polyhedron(dimension), b = random_polyhedron(dimension);
            DomainPtr result;
            switch (k % 4) {
            case 0: result.reset(DomainUnion(a.get(), b.get(), 100)); break;
            case 1: result.reset(DomainDifference(a.get(), b.get(), 100)); break;
            case 2: result.reset(DomainIntersection(a.get(), b.get(), 100)); break;
            case 3: result.reset(DomainConvex(a.get(), 100)); break;
            }
            std::vector<PieceRows> pieces;
            for (const Polyhedron* p = result.get(); p; p = p->next) pieces.push_back(rows_of(p));
            expected.push_back(pieces);
            VarNode* vars = nullptr;
            for (unsigned d = 0; d < dimension; ++d) vars = new VarNode{std::string(1, char('a' + d)), int(d) + 1, vars};
            DomainEntry*& list = store.registries.DomainList;
            list = new DomainEntry{"R" + std::to_string(k), vars, result.release(), nullptr, nullptr, list};
        }
    }
    auto read = read_saved_store(saved());
    ASSERT_TRUE(std::holds_alternative<std::vector<SavedStatement>>(read)) << std::get<TextProblem>(read).message;
    const auto& statements = std::get<std::vector<SavedStatement>>(read);
    ASSERT_EQ(statements.size(), expected.size());
    DomainLock lock;
    for (std::size_t k = 0; k < statements.size(); ++k) {
        const ParsedSet& set = statements[k].domain;
        auto built = build_domain_from_rows(static_cast<unsigned>(set.names.size()), set.pieces);
        ASSERT_TRUE(std::holds_alternative<DomainPtr>(built)) << statements[k].name;
        std::vector<PieceRows> pieces;
        for (const Polyhedron* p = std::get<DomainPtr>(built).get(); p; p = p->next) pieces.push_back(rows_of(p));
        EXPECT_EQ(pieces, expected[k]) << statements[k].name;
    }
}

// ---- Reading ----

TEST(SavedStoreReading, GivesEachStatementWithItsAnswerAndLine) {
    auto read = read_saved_store(
        "T := { i, j, N | i <= N, i >= j, j >= 0 } ;\n"
        "U := [N] -> { [i] : 0 <= i <= N; [i] : i >= 2N } ;\n"
        "\n"
        "U := { i | } ;\nn\nU\n"
        "V := { i | } ;   \n  o  \n"
        "W := { i | } ;\nn   w2\n"
        "M := ((1, -2), (+3, 4)) ;\n"
        "del M ;\n"
        "n := { [i] } ;\n");
    ASSERT_TRUE(std::holds_alternative<std::vector<SavedStatement>>(read)) << std::get<TextProblem>(read).message;
    const auto& s = std::get<std::vector<SavedStatement>>(read);
    ASSERT_EQ(s.size(), 8u);
    using Kind = SavedStatement::Kind;
    using Answer = SavedStatement::Answer;
    EXPECT_EQ(s[0].kind, Kind::Domain);
    EXPECT_EQ(s[0].domain.names, (std::vector<std::string>{"i", "j", "N"}));
    EXPECT_EQ(s[0].domain.pieces.size(), 1u);
    EXPECT_EQ(s[1].domain.names, (std::vector<std::string>{"i", "N"}));
    EXPECT_EQ(s[1].domain.pieces.size(), 2u);
    EXPECT_EQ(s[1].line, 2);
    EXPECT_EQ(s[2].answer, Answer::Rename);
    EXPECT_EQ(s[2].new_name, "U");
    EXPECT_EQ(s[2].line, 4);
    EXPECT_EQ(s[3].answer, Answer::Overwrite);
    EXPECT_EQ(s[3].line, 7);
    EXPECT_EQ(s[4].answer, Answer::Rename);
    EXPECT_EQ(s[4].new_name, "w2");
    EXPECT_EQ(s[5].kind, Kind::Matrix);
    EXPECT_EQ(s[5].matrix, (std::vector<std::vector<std::int64_t>>{{1, -2}, {3, 4}}));
    EXPECT_EQ(s[5].line, 11);
    EXPECT_EQ(s[6].kind, Kind::Delete);
    EXPECT_EQ(s[6].name, "M");
    EXPECT_EQ(s[7].name, "n");
    EXPECT_EQ(s[7].answer, Answer::None);
}

struct ProblemCase {
    const char* name;
    const char* text;
    int line;
    const char* message;
};

void PrintTo(const ProblemCase& c, std::ostream* os) { *os << c.name; }

class SavedStoreProblems : public ::testing::TestWithParam<ProblemCase> {};

TEST_P(SavedStoreProblems, NameTheLine) {
    const ProblemCase& c = GetParam();
    auto read = read_saved_store(c.text);
    ASSERT_TRUE(std::holds_alternative<TextProblem>(read));
    EXPECT_EQ(std::get<TextProblem>(read).line, c.line);
    EXPECT_EQ(std::get<TextProblem>(read).message, c.message);
}

const ProblemCase problems[] = {
    {"NoAssignment", "P := { i | } ;\nQ = { i | } ;\n", 2, "':=' expected after 'Q', not '='"},
    {"Operation", "P := { i | } ;\n\nQ := P union P ;\n", 3, "a domain or a matrix expected after 'Q :=', not 'P'"},
    {"ConstraintError", "P := { i, j |\n i >= 0,\n k <= 2 } ;\n", 3, "unknown name 'k'"},
    {"IslRefusal", "P := { [i] :\n exists (e : i = 2e) } ;\n", 2,
     "isl notation: existential variables ('exists') cannot be held by a PolyLib domain"},
    {"MissingSemicolon", "P := { i | }\nQ := { i | } ;\n", 2, "';' expected after the definition of 'P', not 'Q'"},
    {"RaggedMatrix", "M := ((1, 2),\n (3)) ;\n", 2, "the rows of matrix 'M' have different lengths"},
    {"UnclosedDomain", "P := { i | i >= 0 ;\n", 1, "'}' expected to close the domain of 'P'"},
    {"RenameWithoutName", "P := { i | } ;\nP := { i | } ;\nn\n", 4, "the new name of 'P' expected after the answer 'n'"},
    {"Stray", "P := { i | } ;\n# comment\n", 2, "a statement expected, not '#'"},
};
INSTANTIATE_TEST_SUITE_P(Texts, SavedStoreProblems, ::testing::ValuesIn(problems),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
