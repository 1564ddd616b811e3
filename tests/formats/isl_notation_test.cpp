// Reading isl sets and the constraint notation into constraint rows, the
// refusals of what a PolyLib domain cannot hold, and the isl text written
// for stored domains.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/locks.h"
#include "formats/isl_notation.h"

namespace {

using Rows = std::vector<std::vector<std::int64_t>>;
constexpr auto Syntax = ParseProblem::Kind::Syntax;
constexpr auto Unsupported = ParseProblem::Kind::Unsupported;
constexpr auto Limit = ParseProblem::Kind::Limit;

struct ReadCase {
    const char* name;
    const char* text;
    std::vector<std::string> names;
    unsigned parameters;
    std::vector<Rows> pieces;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class IslReading : public ::testing::TestWithParam<ReadCase> {};

TEST_P(IslReading, GivesTheRowsOfEachPiece) {
    const ReadCase& c = GetParam();
    ParseResult result = read_isl_set(c.text);
    ASSERT_TRUE(std::holds_alternative<ParsedSet>(result)) << std::get<ParseProblem>(result).message;
    const ParsedSet& set = std::get<ParsedSet>(result);
    EXPECT_EQ(set.names, c.names);
    EXPECT_EQ(set.parameters, c.parameters);
    ASSERT_EQ(set.pieces.size(), c.pieces.size());
    for (std::size_t k = 0; k < c.pieces.size(); ++k) {
        Rows rows(set.pieces[k].begin(), set.pieces[k].end());
        EXPECT_EQ(rows, c.pieces[k]) << "piece " << k;
    }
}

const ReadCase isl_sets[] = {
    {"ParametersComeLast", "[N] -> { [i, j] : 0 <= j <= i <= N }", {"i", "j", "N"}, 1,
     {{{1, -1, 0, 1, 0}, {1, 1, -1, 0, 0}, {1, 0, 1, 0, 0}}}},
    {"StrictComparisonsAndCoefficients", "{ [i, j] : 2i + 3 * j < 7 and i > -1 }", {"i", "j"}, 0,
     {{{1, -2, -3, 6}, {1, 1, 0, 0}}}},
    {"EqualityAndProducts", "{ [x, y] : x = 2 * (y + 1) and y * 3 >= x }", {"x", "y"}, 0,
     {{{0, 1, -2, -2}, {1, -1, 3, 0}}}},
    {"OrMakesPieces", "{ [i] : 0 <= i <= 5 or 10 <= i <= 20 }", {"i"}, 0,
     {{{1, -1, 5}, {1, 1, 0}}, {{1, -1, 20}, {1, 1, -10}}}},
    {"SemicolonMakesPieces", "{ [i] : i <= 5; [k] : k >= 10 }", {"i"}, 0, {{{1, -1, 5}}, {{1, 1, -10}}}},
    {"AndDistributesOverOr", "{ [i] : i >= 0 and (i <= 2 or i >= 8) }", {"i"}, 0,
     {{{1, 1, 0}, {1, -1, 2}}, {{1, 1, 0}, {1, 1, -8}}}},
    {"NotTurnsAroundOverTheIntegers", "{ [i] : not (i >= 3) and not i = 0 }", {"i"}, 0,
     {{{1, -1, 2}, {1, 1, -1}}, {{1, -1, 2}, {1, -1, -1}}}},
    {"NotEqualIsTwoPieces", "{ [i] : i != 3 }", {"i"}, 0, {{{1, -1, 2}}, {{1, 1, -4}}}},
    {"Implies", "{ [i] : i >= 0 implies i >= 5 }", {"i"}, 0, {{{1, -1, -1}}, {{1, 1, -5}}}},
    {"SymbolsForAndOr", "{ [i] : i >= 0 && i <= 3 || i = 9 }", {"i"}, 0, {{{1, 1, 0}, {1, -1, 3}}, {{0, 1, -9}}}},
    {"ListsCompareElementWise", "{ [i, j] : 0 <= i, j <= 1 }", {"i", "j"}, 0,
     {{{1, -1, 0, 1}, {1, 0, -1, 1}, {1, 1, 0, 0}, {1, 0, 1, 0}}}},
    {"TrueIsTheUniverse", "{ [i] : true }", {"i"}, 0, {{}}},
    {"NoFormulaIsTheUniverse", "[n] -> { [i] : }", {"i", "n"}, 1, {{}}},
    {"FalseHasNoPiece", "{ [i] : false }", {"i"}, 0, {}},
    {"FalsePieceDropped", "{ [i] : false or i = 1 }", {"i"}, 0, {{{0, 1, -1}}}},
    {"ZeroDimensions", "{ [] }", {}, 0, {{}}},
    {"ZeroDimensionsEmpty", "{ [] : false }", {}, 0, {}},
    {"NoPieceAtAll", "{ }", {}, 0, {}},
    {"ParameterSet", "[N] -> { : N >= 0 }", {"N"}, 1, {{{1, 1, 0}}}},
    {"TupleEntryWithValue", "{ [i, j = 5] : 0 <= i <= 3 }", {"i", "j"}, 0,
     {{{0, 0, 1, -5}, {1, -1, 0, 3}, {1, 1, 0, 0}}}},
    {"TupleEntryExpression", "{ [i, 1 + i] : 0 <= i <= 2 }", {"i", "i1"}, 0,
     {{{0, -1, 1, -1}, {1, -1, 0, 2}, {1, 1, 0, 0}}}},
    {"RepeatedNameIsEqual", "{ [i, i] }", {"i", "i1"}, 0, {{{0, -1, 1, 0}}}},
    {"ParameterInTuple", "[N] -> { [N] }", {"i0", "N"}, 1, {{{0, 1, -1, 0}}}},
    {"ConstantTuple", "{ [2, 3] }", {"i0", "i1"}, 0, {{{0, 1, 0, -2}, {0, 0, 1, -3}}}},
    {"NamedTuple", "{ S[i] : 0 <= i <= 3 }", {"i"}, 0, {{{1, -1, 3}, {1, 1, 0}}}},
    {"IslNamesWithUnderscoreAndPrime", "{ [i_1, j'] : i_1 >= j' }", {"i_1", "j'"}, 0, {{{1, 1, -1, 0}}}},
    {"SixtyFourBitValues", "{ [i] : i >= 9223372036854775808 and 5000000000 i <= 7 }", {"i"}, 0,
     {{{1, 1, INT64_MIN}, {1, -5000000000L, 7}}}},
    {"ParenthesisedExpressionBeforeComparison", "{ [i] : ((i + 1) * 2 >= 0) }", {"i"}, 0, {{{1, 2, 2}}}},
    {"IslPrintingOfAUnion", "{ [i] : 0 <= i <= 20 and (i <= 5 or i >= 10) }", {"i"}, 0,
     {{{1, -1, 20}, {1, 1, 0}, {1, -1, 5}}, {{1, -1, 20}, {1, 1, 0}, {1, 1, -10}}}},
    {"TenDimensions", "{ [a, b, c, d, e, f, g, h, k, l] : a = l }", {"a", "b", "c", "d", "e", "f", "g", "h", "k", "l"},
     0, {{{0, 1, 0, 0, 0, 0, 0, 0, 0, 0, -1, 0}}}},
};
INSTANTIATE_TEST_SUITE_P(Sets, IslReading, ::testing::ValuesIn(isl_sets),
                         [](const auto& info) { return std::string(info.param.name); });

struct ProblemCase {
    const char* name;
    const char* text;
    const char* message;
    ParseProblem::Kind kind;
    std::size_t offset;
};

void PrintTo(const ProblemCase& c, std::ostream* os) { *os << c.name; }

class IslProblems : public ::testing::TestWithParam<ProblemCase> {};

TEST_P(IslProblems, NameTheConstructAndWhereItStands) {
    const ProblemCase& c = GetParam();
    ParseResult result = read_isl_set(c.text);
    ASSERT_TRUE(std::holds_alternative<ParseProblem>(result));
    const ParseProblem& problem = std::get<ParseProblem>(result);
    EXPECT_EQ(problem.message, c.message);
    EXPECT_EQ(problem.kind, c.kind);
    EXPECT_EQ(problem.offset, c.offset);
}

const ProblemCase isl_problems[] = {
    {"Exists", "{ [i] : exists (e0 = floor((i)/2): 2e0 = i) }", "existential variables ('exists')", Unsupported, 8},
    {"Mod", "{ [i] : (i) mod 3 = 0 and 0 <= i <= 10 }", "remainders and strides ('mod')", Unsupported, 12},
    {"Percent", "{ [i] : i % 3 = 0 }", "remainders and strides ('%')", Unsupported, 10},
    {"Floor", "{ [i, j] : i = floor(j / 2) }", "integer divisions ('floor')", Unsupported, 15},
    {"Division", "{ [i] : i / 2 >= 1 }", "divisions ('/')", Unsupported, 10},
    {"Relation", "{ [i] -> [j] : j = i + 1 }", "relations between tuples ('->')", Unsupported, 6},
    {"NamedRelation", "[n] -> { S[i] -> T[i] }", "relations between tuples ('->')", Unsupported, 14},
    {"MinMax", "{ [i] : i >= max(0, 3) }", "'max' of expressions", Unsupported, 13},
    {"Lexicographic", "{ [i, j] : [i] << [j] }", "lexicographic comparisons ('<<')", Unsupported, 15},
    {"DifferentSpaces", "{ A[i] : i >= 0; B[i, j] }", "pieces in different spaces ('A[...]' with 1 and 'B[...]' with 2 dimensions)",
     Unsupported, 17},
    {"SixtyFourBits", "{ [i] : 5000000000i >= 5000000000 * 5000000000 }", "a coefficient overflows 64 bits", Limit, 20},
    {"UnknownName", "{ [i] : i <= N }", "unknown name 'N'", Syntax, 13},
    {"MissingBrace", "{ [i] : i >= 0", "'}' expected to close the set, not the end of the text", Syntax, 14},
    {"NonLinear", "{ [i, j] : i * j >= 0 }", "a product of variables is not linear", Syntax, 13},
    {"StrayCharacter", "{ [i] : i >= 0 ? }", "unexpected character '?'", Syntax, 15},
    {"ParameterTwice", "[N, N] -> { [i] }", "the parameter 'N' is given twice", Syntax, 4},
    {"DanglingComparison", "{ [i] : i >= }", "an expression expected, not '}'", Syntax, 13},
};
INSTANTIATE_TEST_SUITE_P(Texts, IslProblems, ::testing::ValuesIn(isl_problems),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IslProblems, DeepNestingIsRefusedNotOverflowingTheStack) {
    std::string text = "{ [i] : " + std::string(100000, '(') + "i >= 0" + std::string(100000, ')') + " }";
    ParseResult result = read_isl_set(text);
    ASSERT_TRUE(std::holds_alternative<ParseProblem>(result));
    EXPECT_EQ(std::get<ParseProblem>(result).message, "the formula is nested too deeply");
}

TEST(IslProblems, PiecesBeyondTheLimitAreRefused) {
    std::string text = "{ [a, b, c, d, e, f, g, h, k, l, m, n, o, p] : true";
    for (char v : std::string("abcdefghklmnop")) text += std::string(" and (") + v + " = 0 or " + v + " = 1)";
    ParseResult result = read_isl_set(text + " }");
    ASSERT_TRUE(std::holds_alternative<ParseProblem>(result));
    EXPECT_EQ(std::get<ParseProblem>(result).message, "more than 10000 pieces");
}

class ConstraintNotationReading : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ConstraintNotationReading, WritesTheDeclarationsRows) {
    const ReadCase& c = GetParam();
    ParseResult result = read_constraint_notation(c.text);
    ASSERT_TRUE(std::holds_alternative<ParsedSet>(result)) << std::get<ParseProblem>(result).message;
    const ParsedSet& set = std::get<ParsedSet>(result);
    EXPECT_EQ(set.names, c.names);
    ASSERT_EQ(set.pieces.size(), c.pieces.size());
    for (std::size_t k = 0; k < c.pieces.size(); ++k) EXPECT_EQ(Rows(set.pieces[k].begin(), set.pieces[k].end()), c.pieces[k]);
}

// The rows and their order are those the typed declarations write.
const ReadCase declarations[] = {
    {"ChainRightmostPairFirst", "{ i, j | 0 <= i <= 10, j = 2 i }", {"i", "j"}, 0,
     {{{1, -1, 0, 10}, {1, 1, 0, 0}, {0, -2, 1, 0}}}},
    {"StrictLess", "{ i | i < 5 }", {"i"}, 0, {{{1, -1, 4}}}},
    {"TermsOnBothSidesAddUp", "{ i | 2 * (i + 1) >= 3 - i }", {"i"}, 0, {{{1, 3, -1}}}},
    {"LoneExpressionWritesNothing", "{ i | i }", {"i"}, 0, {{}}},
    {"LeadingComma", "{ i | , i >= 0 }", {"i"}, 0, {{{1, 1, 0}}}},
    {"PrintedForms", "{ i, j | 2i+3j >= 5, i >= j-3, 0 = -1 }", {"i", "j"}, 0,
     {{{1, 2, 3, -5}, {1, 1, -1, 3}, {0, 0, 0, 1}}}},
    {"EmptyDomain", "{ | }", {}, 0, {}},
};
INSTANTIATE_TEST_SUITE_P(Declarations, ConstraintNotationReading, ::testing::ValuesIn(declarations),
                         [](const auto& info) { return std::string(info.param.name); });

const ProblemCase declaration_problems[] = {
    {"UndeclaredVariable", "{ i | a >= 0 }", "unknown name 'a'", Syntax, 6},
    {"DuplicateVariable", "{ i, i | i >= 0 }", "the variable 'i' is declared twice", Syntax, 5},
    {"EqualityDoesNotChain", "{ i | i = 1 = 1 }", "',' expected between constraints, not '='", Syntax, 12},
    {"NumberTooLarge", "{ i | i >= 2147483648 }", "the number '2147483648' is too large (the largest is 2147483647)",
     Limit, 11},
    {"NumberBeforeANameMultipliesIt", "{ i | i >= 0 and i <= 1 }", "unknown name 'and'", Syntax, 13},
};

class ConstraintNotationProblems : public ::testing::TestWithParam<ProblemCase> {};

TEST_P(ConstraintNotationProblems, AreFound) {
    const ProblemCase& c = GetParam();
    ParseResult result = read_constraint_notation(c.text);
    ASSERT_TRUE(std::holds_alternative<ParseProblem>(result));
    EXPECT_EQ(std::get<ParseProblem>(result).message, c.message);
    EXPECT_EQ(std::get<ParseProblem>(result).offset, c.offset);
}
INSTANTIATE_TEST_SUITE_P(Declarations, ConstraintNotationProblems, ::testing::ValuesIn(declaration_problems),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Writing ----

DomainPtr domain_from(const char* isl) {
    ParsedSet set = std::get<ParsedSet>(read_isl_set(isl));
    DomainLock lock;
    auto built = build_domain_from_rows(static_cast<unsigned>(set.names.size()), set.pieces);
    return std::move(std::get<DomainPtr>(built));
}

struct WriteCase {
    const char* name;
    const char* declared;   // in isl notation
    std::vector<std::string> names;
    unsigned parameters;
    const char* written;
};

void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

class IslWriting : public ::testing::TestWithParam<WriteCase> {};

TEST_P(IslWriting, WritesEachPolyhedronExactly) {
    const WriteCase& c = GetParam();
    DomainPtr domain = domain_from(c.declared);
    DomainLock lock;
    EXPECT_EQ(isl_text(domain.get(), c.names, c.parameters), c.written);
}

const WriteCase written[] = {
    {"Parameters", "{ [i, j, N] : 0 <= j <= i <= N }", {"i", "j", "N"}, 1,
     "[N] -> { [i, j] : i <= N and i >= j and j >= 0 }"},
    {"NoParameters", "{ [i, j] : 0 <= j <= i <= 3 }", {"i", "j"}, 0, "{ [i, j] : i <= 3 and i >= j and j >= 0 }"},
    {"Union", "{ [i] : 0 <= i <= 5 or 10 <= i <= 20 }", {"i"}, 0,
     "{ [i] : (i <= 5 and i >= 0) or (i <= 20 and i >= 10) }"},
    {"Universe", "{ [i, j] }", {"i", "j"}, 0, "{ [i, j] }"},
    {"Empty", "{ [i] : i >= 1 and i <= 0 }", {"i"}, 0, "{ [i] : false }"},
    {"ZeroDimensions", "{ [] }", {}, 0, "{ [] }"},
    {"ZeroDimensionsEmpty", "{ [] : false }", {}, 0, "{ [] : false }"},
    {"AllParameters", "{ [N] : N >= 0 }", {"N"}, 1, "[N] -> { [] : N >= 0 }"},
    {"RationalVertexKeptExact", "{ [i, j] : 3i >= 1 and 2j <= 5 + i }", {"i", "j"}, 0,
     "{ [i, j] : 3i >= 1 and i >= 2j-5 }"},
    {"NamesIslCannotReadAreReplaced", "{ [a, b, c] : a + b + c >= 0 }", {"and", "{", "c"}, 0,
     "{ [i0, i1, c] : i0+i1+c >= 0 }"},
};
INSTANTIATE_TEST_SUITE_P(Domains, IslWriting, ::testing::ValuesIn(written),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IslWriting, TextReadsBackIntoTheSameConstraints) {
    for (const WriteCase& c : written) {
        DomainPtr domain = domain_from(c.declared);
        std::string text;
        {
            DomainLock lock;
            text = isl_text(domain.get(), c.names, c.parameters);
        }
        DomainPtr again = domain_from(text.c_str());
        DomainLock lock;
        const Polyhedron* p = domain.get();
        const Polyhedron* q = again.get();
        for (; p && q; p = p->next, q = q->next) EXPECT_EQ(rows_of(p), rows_of(q)) << c.name;
        EXPECT_TRUE(!p && !q) << c.name;
    }
}

TEST(IslNames, FollowIslsRules) {
    for (const char* good : {"i", "N", "i_1", "_x", "j'", "dd", "list"}) EXPECT_TRUE(is_isl_name(good)) << good;
    for (const char* bad : {"", "1i", "and", "or", "exists", "true", "a-b", "{"}) EXPECT_FALSE(is_isl_name(bad)) << bad;
}

}  // namespace
