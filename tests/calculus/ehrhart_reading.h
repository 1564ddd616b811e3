// The Ehrhart quasi-polynomials as the calculator prints them (PolyLib's
// layout), read back and evaluated exactly: the oracle's side of the tests
// that check counts.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tests/calculus/integer_points.h"

struct Rational {
    __int128 num = 0;
    __int128 den = 1;
};

// Evaluates PolyLib's printed form of an Ehrhart quasi-polynomial:
//   value    := rational | "(" term { "+" term } ")" | "[" value { "," value } "]_" name
//   term     := value [ "*" name [ "^" digits ] ]
// A periodic number [ v0, v1, ... ]_N stands for v(N mod period).
class QuasiPolynomial {
public:
    QuasiPolynomial(std::string text, std::map<std::string, std::int64_t> parameters)
        : text_(std::move(text)), parameters_(std::move(parameters)) {}
    Rational evaluate();

private:
    [[noreturn]] void fail(const std::string& why);
    void skip_blanks();
    bool next_is(char c);
    void expect(char c);
    std::int64_t digits();
    std::int64_t parameter();
    Rational rational();
    Rational value();
    Rational polynomial();
    Rational periodic();

    std::string text_;
    std::map<std::string, std::int64_t> parameters_;
    std::size_t at_ = 0;
};

struct ValidityPiece {
    ConvexSet domain;
    std::string polynomial;
};

// Reads one "constraint lines, blank line, quasi-polynomial" block per
// validity domain, the blocks ending with the separator line of dashes.
std::vector<ValidityPiece> read_enumeration(const std::string& output, const std::vector<std::string>& parameters);

// The count the printed enumeration gives at p: the value of the
// polynomial of a validity domain that holds p (all those that hold it
// must agree; false when they do not or one is no whole number), 0 when none does.
bool enumeration_count(const std::vector<ValidityPiece>& pieces, const std::vector<std::string>& parameters,
                       const Point& p, std::int64_t& count);
