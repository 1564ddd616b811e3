#include "tests/calculus/ehrhart_reading.h"

#include <sstream>
#include <stdexcept>

namespace {

__int128 gcd128(__int128 a, __int128 b) {
    if (a < 0) a = -a;
    if (b < 0) b = -b;
    while (b) {
        __int128 t = a % b;
        a = b;
        b = t;
    }
    return a;
}

Rational normal(Rational r) {
    if (r.den < 0) r = {-r.num, -r.den};
    __int128 g = gcd128(r.num, r.den);
    if (g > 1) r = {r.num / g, r.den / g};
    return r;
}

Rational operator+(Rational a, Rational b) { return normal({a.num * b.den + b.num * a.den, a.den * b.den}); }
Rational operator*(Rational a, Rational b) { return normal({a.num * b.num, a.den * b.den}); }

}  // namespace

Rational QuasiPolynomial::evaluate() {
    Rational v = value();
    skip_blanks();
    if (at_ < text_.size()) fail("trailing text");
    return v;
}

void QuasiPolynomial::fail(const std::string& why) {
    throw std::runtime_error(why + " at " + std::to_string(at_) + " in '" + text_ + "'");
}

void QuasiPolynomial::skip_blanks() {
    while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
}

bool QuasiPolynomial::next_is(char c) {
    skip_blanks();
    return at_ < text_.size() && text_[at_] == c;
}

void QuasiPolynomial::expect(char c) {
    if (!next_is(c)) fail(std::string("expected '") + c + "'");
    ++at_;
}

std::int64_t QuasiPolynomial::digits() {
    skip_blanks();
    std::size_t start = at_;
    while (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_]))) ++at_;
    if (start == at_) fail("expected digits");
    return std::stoll(text_.substr(start, at_ - start));
}

std::int64_t QuasiPolynomial::parameter() {
    skip_blanks();
    std::size_t start = at_;
    while (at_ < text_.size() && std::isalnum(static_cast<unsigned char>(text_[at_]))) ++at_;
    std::string name = text_.substr(start, at_ - start);
    auto it = parameters_.find(name);
    if (it == parameters_.end()) fail("unknown parameter '" + name + "'");
    return it->second;
}

Rational QuasiPolynomial::rational() {
    bool negative = next_is('-');
    if (negative) ++at_;
    Rational r{digits(), 1};
    if (next_is('/')) {
        ++at_;
        r.den = digits();
    }
    if (negative) r.num = -r.num;
    return normal(r);
}

Rational QuasiPolynomial::value() {
    if (next_is('(')) return polynomial();
    if (next_is('[')) return periodic();
    return rational();
}

Rational QuasiPolynomial::polynomial() {
    expect('(');
    Rational sum;
    for (;;) {
        Rational term = value();
        if (next_is('*')) {
            ++at_;
            std::int64_t base = parameter();
            std::int64_t power = 1;
            if (next_is('^')) {
                ++at_;
                power = digits();
            }
            for (std::int64_t k = 0; k < power; ++k) term = term * Rational{base, 1};
        }
        sum = sum + term;
        if (next_is('+')) {
            ++at_;
            continue;
        }
        expect(')');
        return sum;
    }
}

Rational QuasiPolynomial::periodic() {
    expect('[');
    std::vector<Rational> values{value()};
    while (next_is(',')) {
        ++at_;
        values.push_back(value());
    }
    expect(']');
    expect('_');
    std::int64_t n = parameter();
    std::int64_t period = static_cast<std::int64_t>(values.size());
    return values[static_cast<std::size_t>(((n % period) + period) % period)];
}

std::vector<ValidityPiece> read_enumeration(const std::string& output, const std::vector<std::string>& parameters) {
    const std::string separator = "\n-----------------------------------\n";
    std::vector<ValidityPiece> pieces;
    std::size_t start = 0, end;
    while ((end = output.find(separator, start)) != std::string::npos) {
        std::istringstream block(output.substr(start, end - start));
        ValidityPiece piece;
        std::string line, rest;
        while (std::getline(block, line) && !line.empty()) {
            bool equality = line.find(">=") == std::string::npos;
            std::size_t relation = line.find(equality ? "=" : ">=");
            if (relation == std::string::npos) throw std::runtime_error("not a constraint: '" + line + "'");
            LinearConstraint c{equality, std::vector<std::int64_t>(parameters.size(), 0), 0};
            read_linear_sum(line.substr(0, relation), parameters, c.coefficients, c.constant);
            piece.domain.push_back(c);
        }
        while (std::getline(block, line)) rest += line + "\n";
        piece.polynomial = rest;
        pieces.push_back(piece);
        start = end + separator.size();
    }
    return pieces;
}

bool enumeration_count(const std::vector<ValidityPiece>& pieces, const std::vector<std::string>& parameters,
                       const Point& p, std::int64_t& count) {
    std::map<std::string, std::int64_t> values;
    for (std::size_t k = 0; k < parameters.size(); ++k) values[parameters[k]] = p[k];
    bool found = false;
    for (const ValidityPiece& piece : pieces) {
        if (!contains(piece.domain, p)) continue;
        Rational v = QuasiPolynomial(piece.polynomial, values).evaluate();
        if (v.den != 1 || (found && count != static_cast<std::int64_t>(v.num))) return false;
        count = static_cast<std::int64_t>(v.num);
        found = true;
    }
    if (!found) count = 0;
    return true;
}
