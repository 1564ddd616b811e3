#include "calculus/isl_counts.h"

#include <map>
#include <isl/polynomial.h>
#include <isl/point.h>
#include <isl/set.h>
#include <isl/val.h>

#include "calculus/isl_link.h"

namespace {

struct IslPwQpolynomialFree {
    void operator()(isl_pw_qpolynomial* q) const { isl_pw_qpolynomial_free(q); }
};
using IslPwQpolynomialPtr = std::unique_ptr<isl_pw_qpolynomial, IslPwQpolynomialFree>;

constexpr unsigned long isl_operation_limit = 50'000'000;

std::string polynomial_text(const QuasiPolynomial::Polynomial& p, const std::vector<std::string>& names) {
    std::string text;
    for (const auto& [exponents, coefficient] : p) {
        if (coefficient == 0) continue;
        std::string term = coefficient.get_str();
        for (std::size_t k = 0; k < exponents.size(); ++k) {
            if (exponents[k] == 0) continue;
            term += " * " + names[k];
            if (exponents[k] > 1) term += "^" + std::to_string(exponents[k]);
        }
        text += (text.empty() ? "" : " + ") + term;
    }
    return text.empty() ? "0" : text;
}

// The chamber's constraints in isl's notation.
std::string constraints_text(const Polyhedron* p, const std::vector<std::string>& names) {
    std::string text;
    for (unsigned r = 0; r < p->NbConstraints; ++r) {
        const Value* row = p->Constraint[r];
        std::string sum;
        for (unsigned c = 0; c < p->Dimension; ++c) {
            std::int64_t v = value_of(row[c + 1]);
            if (v == 0) continue;
            sum += (sum.empty() ? "" : " + ") + std::to_string(v) + "*" + names[c];
        }
        std::int64_t constant = value_of(row[p->Dimension + 1]);
        if (sum.empty()) {
            bool holds = value_zero_p(row[0]) ? constant == 0 : constant >= 0;
            if (holds) continue;
            sum = "1";
            constant = 0;
        }
        text += (text.empty() ? "" : " and ") + sum + " + " + std::to_string(constant) +
                (value_zero_p(row[0]) ? " = 0" : " >= 0");
    }
    return text.empty() ? "true" : text;
}


// What isl made of the text counts as the chambers do, at a few values of
// each chamber: near its vertices.
bool agrees(isl_pw_qpolynomial* total, const std::vector<Chamber>& chambers) {
    isl_ctx* ctx = isl_pw_qpolynomial_get_ctx(total);
    for (const Chamber& c : chambers) {
        const Polyhedron* d = c.domain.get();
        unsigned m = d->Dimension;
        for (unsigned g = 0; g < d->NbRays && g < 8; ++g) {
            std::int64_t den = value_of(d->Ray[g][m + 1]);
            if (den == 0) continue;
            std::vector<std::int64_t> p(m);
            for (unsigned k = 0; k < m; ++k) {
                std::int64_t x = value_of(d->Ray[g][k + 1]);
                p[k] = x / den - (x % den != 0 && (x < 0) != (den < 0));
            }
            for (unsigned k = 0; k <= m; ++k) {
                if (k > 0) ++p[k - 1];
                if (!holds_values(d, p.data())) continue;
                isl_point* at = isl_point_zero(isl_pw_qpolynomial_get_domain_space(total));
                for (unsigned j = 0; j < m; ++j)
                    at = isl_point_set_coordinate_val(at, isl_dim_param, static_cast<int>(j),
                                                      isl_val_int_from_si(ctx, p[j]));
                std::optional<mpq_class> value = rational_of(isl_pw_qpolynomial_eval(isl_pw_qpolynomial_copy(total), at));
                if (!value || *value != c.count.at(std::vector<long>(p.begin(), p.end()))) return false;
            }
        }
    }
    return true;
}

}  // namespace

std::string isl_expression(const QuasiPolynomial& q, const std::vector<std::string>& names) {
    const auto& classes = q.classes();
    bool same = true;
    for (const auto& [r, p] : classes) same = same && p == classes.begin()->second;
    if (same) return polynomial_text(classes.begin()->second, names);
    // Each coefficient, a function of the residues rho_k = N_k - p_k floor(N_k / p_k),
    // is the polynomial in them that takes its values on the grid of residues
    // (Lagrange's, one factor per parameter): one integer division per
    // parameter, which isl handles best.
    const std::vector<long>& periods = q.periods();
    const std::size_t m = periods.size();
    std::vector<std::vector<std::vector<mpq_class>>> basis(m);   // [k][r] = coefficients of L_r
    for (std::size_t k = 0; k < m; ++k) {
        long p = periods[k];
        for (long r = 0; r < p; ++r) {
            std::vector<mpq_class> l{1};
            for (long s = 0; s < p; ++s) {
                if (s == r) continue;
                std::vector<mpq_class> next(l.size() + 1, 0);
                for (std::size_t i = 0; i < l.size(); ++i) {
                    next[i + 1] += l[i];
                    next[i] -= l[i] * s;
                }
                for (mpq_class& x : next) x /= r - s;
                l = std::move(next);
            }
            basis[k].push_back(std::move(l));
        }
    }
    using Key = std::pair<QuasiPolynomial::Exponents, QuasiPolynomial::Exponents>;   // of N, of rho
    std::map<Key, mpq_class> terms;
    for (const auto& [r, polynomial] : classes) {
        // The product of the parameters' basis polynomials for this class.
        std::map<QuasiPolynomial::Exponents, mpq_class> product{{QuasiPolynomial::Exponents(m, 0), 1}};
        for (std::size_t k = 0; k < m; ++k) {
            std::map<QuasiPolynomial::Exponents, mpq_class> next;
            const std::vector<mpq_class>& l = basis[k][static_cast<std::size_t>(r[k])];
            for (const auto& [e, c] : product)
                for (std::size_t i = 0; i < l.size(); ++i) {
                    if (l[i] == 0) continue;
                    QuasiPolynomial::Exponents raised = e;
                    raised[k] += static_cast<unsigned>(i);
                    next[raised] += c * l[i];
                }
            product = std::move(next);
        }
        for (const auto& [e, c] : polynomial)
            for (const auto& [b, l] : product) terms[{e, b}] += c * l;
    }
    std::string text;
    for (const auto& [key, coefficient] : terms) {
        if (coefficient == 0) continue;
        std::string term = coefficient.get_str();
        for (std::size_t k = 0; k < m; ++k) {
            if (key.first[k] > 0) term += " * " + names[k] + (key.first[k] > 1 ? "^" + std::to_string(key.first[k]) : "");
            if (key.second[k] > 0) {
                std::string p = std::to_string(periods[k]);
                term += " * (" + names[k] + " - " + p + "*floor(" + names[k] + "/" + p + "))";
                if (key.second[k] > 1) term += "^" + std::to_string(key.second[k]);
            }
        }
        text += (text.empty() ? "" : " + ") + term;
    }
    return text.empty() ? "0" : text;
}

std::optional<std::string> isl_count_text(const std::vector<Chamber>& chambers,
                                          const std::vector<std::string>& parameter_names) {
    // The text is read with names of our own; the parameters are named after.
    std::vector<std::string> names;
    for (std::size_t k = 0; k < parameter_names.size(); ++k) names.push_back("p" + std::to_string(k));
    std::string head = "[";
    for (std::size_t k = 0; k < names.size(); ++k) head += (k ? ", " : "") + names[k];
    head += "] -> ";
    IslCtxPtr ctx = make_isl_context(isl_operation_limit);
    if (!ctx) return std::nullopt;
    IslPwQpolynomialPtr total;
    IslSetPtr covered;
    for (const Chamber& c : chambers) {
        std::string where = constraints_text(c.domain.get(), names);
        IslSetPtr chamber(isl_set_read_from_str(ctx.get(), (head + "{ : " + where + " }").c_str()));
        IslPwQpolynomialPtr count(isl_pw_qpolynomial_read_from_str(
            ctx.get(), (head + "{ " + isl_expression(c.count, names) + " : " + where + " }").c_str()));
        if (!chamber || !count) return std::nullopt;
        if (!total) {
            total = std::move(count);
            covered = std::move(chamber);
            continue;
        }
        // Chambers meet on their borders, where their counts agree.
        count.reset(isl_pw_qpolynomial_subtract_domain(count.release(), isl_set_copy(covered.get())));
        total.reset(isl_pw_qpolynomial_add_disjoint(total.release(), count.release()));
        covered.reset(isl_set_union(covered.release(), chamber.release()));
        if (!total || !covered) return std::nullopt;
    }
    if (!total) {
        total.reset(isl_pw_qpolynomial_read_from_str(ctx.get(), (head + "{ 0 }").c_str()));
        if (!total) return std::nullopt;
    }
    total.reset(isl_pw_qpolynomial_coalesce(total.release()));
    if (!total || !agrees(total.get(), chambers)) return std::nullopt;
    for (std::size_t k = 0; k < parameter_names.size(); ++k) {
        std::string name = isl_name(ctx.get(), parameter_names[k], "p" + std::to_string(k));
        total.reset(isl_pw_qpolynomial_set_dim_name(total.release(), isl_dim_param, static_cast<unsigned>(k), name.c_str()));
        if (!total) return std::nullopt;
    }
    std::string text = isl_string(isl_pw_qpolynomial_to_str(total.get()));
    if (text.empty()) return std::nullopt;
    return text;
}
