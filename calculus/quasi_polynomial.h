// Ehrhart quasi-polynomials in a form that adds exactly: one polynomial over
// the parameters for each vector of the parameters' residues. PolyLib's own
// addition of evalues gives up on periodic numbers of different periods and
// on a polynomial added to a constant, which a union's pieces produce.
#pragma once

#include <gmpxx.h>
#include <map>
#include <optional>
#include <vector>

#include "base/polylib.h"

class QuasiPolynomial {
public:
    // Reads PolyLib's form. Nothing when it holds an evector or its periods
    // would make more than `max_residue_vectors` residue vectors.
    static std::optional<QuasiPolynomial> from_evalue(const evalue& e, unsigned parameters);

    // The same value for every parameter value.
    static QuasiPolynomial constant(unsigned parameters, const mpq_class& value);

    // Sum of the two (same number of parameters); nothing past the cap.
    static std::optional<QuasiPolynomial> sum(const QuasiPolynomial& a, const QuasiPolynomial& b);

    // PolyLib's form, as its printer writes it: polynomials in the first
    // parameter outermost, periodic numbers as small as the values allow.
    // Nothing when a coefficient leaves 64 bits. The caller frees it with
    // free_evalue_refs.
    std::optional<evalue> to_evalue() const;

    mpq_class at(const std::vector<long>& parameters) const;

    static constexpr std::size_t max_residue_vectors = 1 << 16;

private:
    using Exponents = std::vector<unsigned>;
    using Polynomial = std::map<Exponents, mpq_class>;

    unsigned parameters_ = 0;
    std::vector<long> periods_;                   // per parameter
    std::map<std::vector<long>, Polynomial> by_residues_;   // every residue vector present
};
