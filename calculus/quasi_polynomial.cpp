#include "calculus/quasi_polynomial.h"

#include <numeric>

namespace {

using Exponents = std::vector<unsigned>;
using Polynomial = std::map<Exponents, mpq_class>;

mpq_class rational(const Value& numerator, const Value& denominator) {
    mpq_class q(mpz_class(static_cast<signed long>(numerator)), mpz_class(static_cast<signed long>(denominator)));
    q.canonicalize();
    return q;
}

// The largest period of each parameter's periodic numbers, as their lcm.
bool collect_periods(const evalue& e, std::vector<long>& periods) {
    if (value_notzero_p(e.d)) return true;
    const enode* node = e.x.p;
    if (node->type == evector || node->pos < 1 || static_cast<std::size_t>(node->pos) > periods.size()) return false;
    if (node->type == periodic) {
        long& period = periods[node->pos - 1];
        period = std::lcm(period, static_cast<long>(node->size));
    }
    for (int k = 0; k < node->size; ++k)
        if (!collect_periods(node->arr[k], periods)) return false;
    return true;
}

void add_into(Polynomial& total, const Polynomial& term) {
    for (const auto& [exponents, coefficient] : term) {
        mpq_class& c = total[exponents];
        c += coefficient;
        if (c == 0) total.erase(exponents);
    }
}

// The polynomial `e` is for parameters with these residues.
Polynomial polynomial_at(const evalue& e, const std::vector<long>& residues) {
    unsigned parameters = static_cast<unsigned>(residues.size());
    if (value_notzero_p(e.d)) {
        Polynomial constant;
        mpq_class q = rational(e.x.n, e.d);
        if (q != 0) constant[Exponents(parameters, 0)] = q;
        return constant;
    }
    const enode* node = e.x.p;
    unsigned variable = static_cast<unsigned>(node->pos - 1);
    if (node->type == periodic) return polynomial_at(node->arr[residues[variable] % node->size], residues);
    Polynomial total;
    for (int k = 0; k < node->size; ++k) {
        Polynomial shifted;
        for (const auto& [exponents, coefficient] : polynomial_at(node->arr[k], residues)) {
            Exponents raised = exponents;
            raised[variable] += static_cast<unsigned>(k);
            shifted[raised] = coefficient;
        }
        add_into(total, shifted);
    }
    return total;
}

// Every residue vector of these periods, in lexicographic order.
template <class Visit>
void for_each_residue_vector(const std::vector<long>& periods, Visit visit) {
    std::vector<long> r(periods.size(), 0);
    for (;;) {
        visit(r);
        std::size_t k = r.size();
        while (k > 0 && ++r[k - 1] == periods[k - 1]) r[--k] = 0;
        if (k == 0) return;
    }
}

std::size_t residue_vectors(const std::vector<long>& periods) {
    std::size_t n = 1;
    for (long p : periods) {
        if (n > QuasiPolynomial::max_residue_vectors / static_cast<std::size_t>(p)) return QuasiPolynomial::max_residue_vectors + 1;
        n *= static_cast<std::size_t>(p);
    }
    return n;
}

// A family of polynomials indexed by residue vectors, being turned into an
// evalue: `fixed` says which parameters' residues are already chosen (their
// entries are those residues), the others range over their periods.
struct Family {
    const std::vector<long>& periods;
    const std::map<std::vector<long>, Polynomial>& polynomials;
};

bool fits(const mpz_class& z) { return z.fits_slong_p(); }

void set_constant(evalue& e, const mpq_class& q) {
    value_init(e.d);
    value_set_si(e.d, q.get_den().get_si());
    value_init(e.x.n);
    value_set_si(e.x.n, q.get_num().get_si());
}

// The coefficient of the monomial `exponents` in the polynomial of `r`.
mpq_class coefficient(const Family& f, const std::vector<long>& r, const Exponents& exponents) {
    const Polynomial& p = f.polynomials.at(r);
    auto found = p.find(exponents);
    return found == p.end() ? mpq_class(0) : found->second;
}

class EvalueBuilder {
public:
    EvalueBuilder(const Family& f) : f_(f), parameters_(static_cast<unsigned>(f.periods.size())) {}

    bool build(evalue& out) {
        Exponents exponents(parameters_, 0);
        return polynomial_level(out, 0, exponents);
    }

private:
    // Residue vectors that agree with the residues chosen so far.
    template <class Visit>
    void for_each_matching(const std::vector<long>& chosen, const std::vector<long>& moduli, Visit visit) const {
        for_each_residue_vector(f_.periods, [&](const std::vector<long>& r) {
            for (unsigned k = 0; k < parameters_; ++k)
                if (chosen[k] >= 0 && r[k] % moduli[k] != chosen[k]) return;
            visit(r);
        });
    }

    // The outer levels are polynomials, one parameter after the other; the
    // exponents of the parameters before `variable` are fixed in `exponents`.
    bool polynomial_level(evalue& out, unsigned variable, Exponents& exponents) {
        if (variable == parameters_) {
            std::vector<long> moduli(parameters_, 1);
            return periodic_level(out, 0, exponents, std::vector<long>(parameters_, -1), moduli);
        }
        unsigned degree = 0;
        for (const auto& [r, p] : f_.polynomials)
            for (const auto& [e, c] : p) {
                bool prefix = true;
                for (unsigned k = 0; k < variable; ++k) prefix = prefix && e[k] == exponents[k];
                if (prefix) degree = std::max(degree, e[variable]);
            }
        if (degree == 0) {
            exponents[variable] = 0;
            return polynomial_level(out, variable + 1, exponents);
        }
        enode* node = new_enode(polynomial, static_cast<int>(degree + 1), static_cast<int>(variable + 1));
        value_init(out.d);
        value_set_si(out.d, 0);
        out.x.p = node;
        for (unsigned k = 0; k <= degree; ++k) {
            exponents[variable] = k;
            if (!polynomial_level(node->arr[k], variable + 1, exponents)) return false;
        }
        exponents[variable] = 0;
        return true;
    }

    // The inner levels are periodic numbers of the monomial `exponents`'s
    // coefficient, one parameter after the other, each of the smallest
    // period its values have.
    bool periodic_level(evalue& out, unsigned variable, const Exponents& exponents, std::vector<long> chosen,
                        std::vector<long> moduli) {
        if (variable == parameters_) {
            std::optional<mpq_class> value;
            for_each_matching(chosen, moduli, [&](const std::vector<long>& r) {
                if (!value) value = coefficient(f_, r, exponents);
            });
            mpq_class q = value.value_or(0);
            if (!fits(q.get_num()) || !fits(q.get_den())) return false;
            set_constant(out, q);
            return true;
        }
        long period = smallest_period(variable, exponents, chosen, moduli);
        if (period == 1) return periodic_level(out, variable + 1, exponents, chosen, moduli);
        enode* node = new_enode(periodic, static_cast<int>(period), static_cast<int>(variable + 1));
        value_init(out.d);
        value_set_si(out.d, 0);
        out.x.p = node;
        moduli[variable] = period;
        for (long j = 0; j < period; ++j) {
            chosen[variable] = j;
            if (!periodic_level(node->arr[j], variable + 1, exponents, chosen, moduli)) return false;
        }
        return true;
    }

    // The smallest d dividing the variable's period such that the
    // coefficient depends on the variable's residue modulo d only.
    long smallest_period(unsigned variable, const Exponents& exponents, const std::vector<long>& chosen,
                         const std::vector<long>& moduli) const {
        long full = f_.periods[variable];
        for (long d = 1; d < full; ++d) {
            if (full % d) continue;
            bool holds = true;
            for_each_matching(chosen, moduli, [&](const std::vector<long>& r) {
                if (!holds) return;
                std::vector<long> reduced = r;
                reduced[variable] = r[variable] % d;
                holds = coefficient(f_, r, exponents) == coefficient(f_, reduced, exponents);
            });
            if (holds) return d;
        }
        return full;
    }

    const Family& f_;
    unsigned parameters_;
};

}  // namespace

std::optional<QuasiPolynomial> QuasiPolynomial::from_evalue(const evalue& e, unsigned parameters) {
    QuasiPolynomial q;
    q.parameters_ = parameters;
    q.periods_.assign(parameters, 1);
    if (!collect_periods(e, q.periods_) || residue_vectors(q.periods_) > max_residue_vectors) return std::nullopt;
    for_each_residue_vector(q.periods_, [&](const std::vector<long>& r) { q.by_residues_[r] = polynomial_at(e, r); });
    return q;
}

QuasiPolynomial QuasiPolynomial::constant(unsigned parameters, const mpq_class& value) {
    QuasiPolynomial q;
    q.parameters_ = parameters;
    q.periods_.assign(parameters, 1);
    Polynomial& p = q.by_residues_[std::vector<long>(parameters, 0)];
    if (value != 0) p[Exponents(parameters, 0)] = value;
    return q;
}

std::optional<QuasiPolynomial> QuasiPolynomial::sum(const QuasiPolynomial& a, const QuasiPolynomial& b) {
    QuasiPolynomial s;
    s.parameters_ = a.parameters_;
    s.periods_.resize(a.parameters_);
    for (unsigned k = 0; k < a.parameters_; ++k) s.periods_[k] = std::lcm(a.periods_[k], b.periods_[k]);
    if (residue_vectors(s.periods_) > max_residue_vectors) return std::nullopt;
    for_each_residue_vector(s.periods_, [&](const std::vector<long>& r) {
        std::vector<long> ra(r), rb(r);
        for (unsigned k = 0; k < r.size(); ++k) {
            ra[k] %= a.periods_[k];
            rb[k] %= b.periods_[k];
        }
        Polynomial total = a.by_residues_.at(ra);
        add_into(total, b.by_residues_.at(rb));
        s.by_residues_[r] = std::move(total);
    });
    return s;
}

std::optional<evalue> QuasiPolynomial::to_evalue() const {
    Family family{periods_, by_residues_};
    EvalueBuilder builder(family);
    evalue built;
    value_init(built.d);
    value_set_si(built.d, 1);
    value_init(built.x.n);
    value_set_si(built.x.n, 0);
    if (!builder.build(built)) {
        free_evalue_refs(&built);
        return std::nullopt;
    }
    return built;
}

mpq_class QuasiPolynomial::at(const std::vector<long>& parameters) const {
    std::vector<long> r(parameters_);
    for (unsigned k = 0; k < parameters_; ++k) r[k] = ((parameters[k] % periods_[k]) + periods_[k]) % periods_[k];
    mpq_class total = 0;
    for (const auto& [exponents, coefficient] : by_residues_.at(r)) {
        mpq_class term = coefficient;
        for (unsigned k = 0; k < parameters_; ++k)
            for (unsigned e = 0; e < exponents[k]; ++e) term *= parameters[k];
        total += term;
    }
    return total;
}
