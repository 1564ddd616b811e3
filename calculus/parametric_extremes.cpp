// Parametric lexicographic extremes through isl: the domain within the
// context becomes an isl set, isl_set_lexmin_pw_multi_aff (or lexmax) gives
// the pieces, and each piece's domain and point are read into plain
// quasi-affine forms (integer divisions written floor(e / d)). The answer is
// evaluated at the parameter values of a box around a point of the context
// and around a point of each piece, and compared with the extremes the loop
// nests find at each of those values; only an answer that agrees everywhere
// is written.
#include "calculus/parametric_extremes.h"

#include <algorithm>
#include <cmath>
#include <isl/constraint.h>
#include <isl/local_space.h>
#include <isl/point.h>
#include <optional>

#include "calculus/isl_link.h"

namespace {

// isl's work on one answer stops after this many of its operations.
constexpr unsigned long isl_operation_limit = 50'000'000;
// The box around a point of each piece of the answer holds at most this many values.
constexpr unsigned piece_check_values = 27;

// floor((sum of coefficient * value) / denominator), over the parameters
// then the integer divisions before it.
struct QuasiAffine {
    std::vector<std::int64_t> parameter;
    std::vector<std::int64_t> division;
    std::int64_t constant = 0;
    std::int64_t denominator = 1;
};

// Integer divisions of a local space: division k is floor(divisions[k]),
// which uses the parameters and the divisions before k.
using Divisions = std::vector<QuasiAffine>;

struct QuasiConstraint {
    bool equality;
    QuasiAffine form;   // denominator 1; form >= 0, or = 0
};

struct QuasiBasicSet {
    Divisions divisions;
    std::vector<QuasiConstraint> constraints;
};

struct QuasiCoordinate {
    Divisions divisions;
    QuasiAffine value;   // an integer wherever the piece holds
};

struct ExtremePiece {
    std::vector<QuasiBasicSet> where;        // a union
    std::vector<QuasiCoordinate> point;      // empty for a piece without point
    bool empty = false;
};

// ---- Reading isl's objects -----------------------------------------------------

struct Unreadable {};

std::int64_t small(const mpz_class& z) {
    if (!z.fits_slong_p()) throw Unreadable{};
    return z.get_si();
}

// The value as an integer multiple of 1/denominator.
std::int64_t scaled(isl_val* v, const mpz_class& denominator) {
    std::optional<mpq_class> q = rational_of(v);
    if (!q) throw Unreadable{};
    mpq_class s = *q * denominator;
    if (s.get_den() != 1) throw Unreadable{};
    return small(s.get_num());
}

QuasiAffine quasi_of_aff(isl_aff* aff, unsigned parameters, unsigned divisions) {
    if (!aff || isl_aff_is_nan(aff)) throw Unreadable{};
    std::optional<mpq_class> den = rational_of(isl_aff_get_denominator_val(aff));
    if (!den || den->get_den() != 1) throw Unreadable{};
    mpz_class d = den->get_num();
    QuasiAffine q;
    q.denominator = small(d);
    for (unsigned k = 0; k < parameters; ++k)
        q.parameter.push_back(scaled(isl_aff_get_coefficient_val(aff, isl_dim_param, static_cast<int>(k)), d));
    isl_size own = isl_aff_dim(aff, isl_dim_div);
    if (own < 0 || static_cast<unsigned>(own) > divisions) throw Unreadable{};
    q.division.assign(divisions, 0);
    for (unsigned k = 0; k < static_cast<unsigned>(own); ++k)
        q.division[k] = scaled(isl_aff_get_coefficient_val(aff, isl_dim_div, static_cast<int>(k)), d);
    q.constant = scaled(isl_aff_get_constant_val(aff), d);
    return q;
}

Divisions divisions_of_aff(isl_aff* aff, unsigned parameters) {
    isl_size n = isl_aff_dim(aff, isl_dim_div);
    if (n < 0) throw Unreadable{};
    Divisions divisions;
    for (int k = 0; k < n; ++k) {
        IslAffPtr argument(isl_aff_get_div(aff, k));
        divisions.push_back(quasi_of_aff(argument.get(), parameters, static_cast<unsigned>(n)));
    }
    return divisions;
}

QuasiBasicSet quasi_of_basic_set(isl_basic_set* set, unsigned parameters) {
    QuasiBasicSet q;
    isl_size n = isl_basic_set_dim(set, isl_dim_div);
    if (n < 0) throw Unreadable{};
    for (int k = 0; k < n; ++k) {
        IslAffPtr argument(isl_basic_set_get_div(set, k));
        q.divisions.push_back(quasi_of_aff(argument.get(), parameters, static_cast<unsigned>(n)));
    }
    struct Reading {
        QuasiBasicSet* q;
        unsigned parameters, divisions;
        bool failed = false;
    } reading{&q, parameters, static_cast<unsigned>(n)};
    isl_stat status = isl_basic_set_foreach_constraint(
        set,
        [](isl_constraint* c, void* user) -> isl_stat {
            auto* r = static_cast<Reading*>(user);
            try {
                QuasiConstraint constraint{isl_constraint_is_equality(c) == isl_bool_true, {}};
                mpz_class one = 1;
                for (unsigned k = 0; k < r->parameters; ++k)
                    constraint.form.parameter.push_back(
                        scaled(isl_constraint_get_coefficient_val(c, isl_dim_param, static_cast<int>(k)), one));
                for (unsigned k = 0; k < r->divisions; ++k)
                    constraint.form.division.push_back(
                        scaled(isl_constraint_get_coefficient_val(c, isl_dim_div, static_cast<int>(k)), one));
                constraint.form.constant = scaled(isl_constraint_get_constant_val(c), one);
                r->q->constraints.push_back(std::move(constraint));
            } catch (const Unreadable&) {
                r->failed = true;
            }
            isl_constraint_free(c);
            return r->failed ? isl_stat_error : isl_stat_ok;
        },
        &reading);
    if (status != isl_stat_ok || reading.failed) throw Unreadable{};
    return q;
}

std::vector<QuasiBasicSet> quasi_of_set(isl_set* set, unsigned parameters) {
    // Every integer division explicit, so that it can be written as a floor.
    IslSetPtr explicit_set(isl_set_compute_divs(isl_set_copy(set)));
    if (!explicit_set) throw Unreadable{};
    struct Reading {
        std::vector<QuasiBasicSet> sets;
        unsigned parameters;
        bool failed = false;
    } reading{{}, parameters};
    isl_stat status = isl_set_foreach_basic_set(
        explicit_set.get(),
        [](isl_basic_set* b, void* user) -> isl_stat {
            auto* r = static_cast<Reading*>(user);
            IslBasicSetPtr owned(b);
            try {
                r->sets.push_back(quasi_of_basic_set(b, r->parameters));
            } catch (const Unreadable&) {
                r->failed = true;
            }
            return r->failed ? isl_stat_error : isl_stat_ok;
        },
        &reading);
    if (status != isl_stat_ok || reading.failed) throw Unreadable{};
    return std::move(reading.sets);
}

std::vector<ExtremePiece> pieces_of(isl_pw_multi_aff* answer, isl_set* context, unsigned parameters) {
    struct Reading {
        std::vector<ExtremePiece> pieces;
        unsigned parameters;
        bool failed = false;
    } reading{{}, parameters};
    isl_stat status = isl_pw_multi_aff_foreach_piece(
        answer,
        [](isl_set* set, isl_multi_aff* point, void* user) -> isl_stat {
            auto* r = static_cast<Reading*>(user);
            IslSetPtr owned_set(set);
            IslMultiAffPtr owned_point(point);
            try {
                ExtremePiece piece;
                piece.where = quasi_of_set(set, r->parameters);
                isl_size n = isl_multi_aff_dim(point, isl_dim_out);
                if (n < 0) throw Unreadable{};
                for (int k = 0; k < n; ++k) {
                    IslAffPtr coordinate(isl_multi_aff_get_at(point, k));
                    if (!coordinate) throw Unreadable{};
                    QuasiCoordinate c;
                    c.divisions = divisions_of_aff(coordinate.get(), r->parameters);
                    c.value = quasi_of_aff(coordinate.get(), r->parameters, static_cast<unsigned>(c.divisions.size()));
                    piece.point.push_back(std::move(c));
                }
                r->pieces.push_back(std::move(piece));
            } catch (const Unreadable&) {
                r->failed = true;
            }
            return r->failed ? isl_stat_error : isl_stat_ok;
        },
        &reading);
    if (status != isl_stat_ok || reading.failed) throw Unreadable{};
    // The values of the context where the domain has no point.
    IslSetPtr covered(isl_pw_multi_aff_domain(isl_pw_multi_aff_copy(answer)));
    IslSetPtr rest(isl_set_coalesce(isl_set_subtract(isl_set_copy(context), covered.release())));
    if (!rest) throw Unreadable{};
    if (isl_set_is_empty(rest.get()) == isl_bool_false) {
        ExtremePiece none;
        none.where = quasi_of_set(rest.get(), parameters);
        none.empty = true;
        reading.pieces.push_back(std::move(none));
    }
    return std::move(reading.pieces);
}

// ---- Evaluation -------------------------------------------------------------------

std::int64_t floor_div(__int128 a, std::int64_t d) {
    __int128 q = a / d;
    if ((a % d != 0) && ((a < 0) != (d < 0))) --q;
    return static_cast<std::int64_t>(q);
}

struct Overflow {};

__int128 numerator(const QuasiAffine& q, const std::int64_t* p, const std::vector<std::int64_t>& divisions) {
    __int128 sum = q.constant;
    for (std::size_t k = 0; k < q.parameter.size(); ++k)
        if (__builtin_add_overflow(sum, static_cast<__int128>(q.parameter[k]) * p[k], &sum)) throw Overflow{};
    for (std::size_t k = 0; k < q.division.size(); ++k)
        if (__builtin_add_overflow(sum, static_cast<__int128>(q.division[k]) * divisions[k], &sum)) throw Overflow{};
    return sum;
}

std::vector<std::int64_t> division_values(const Divisions& divisions, const std::int64_t* p) {
    std::vector<std::int64_t> values(divisions.size(), 0);
    for (std::size_t k = 0; k < divisions.size(); ++k) {
        __int128 n = numerator(divisions[k], p, values);
        if (n / divisions[k].denominator > INT64_MAX || n / divisions[k].denominator < INT64_MIN) throw Overflow{};
        values[k] = floor_div(n, divisions[k].denominator);
    }
    return values;
}

bool holds(const QuasiBasicSet& set, const std::int64_t* p) {
    std::vector<std::int64_t> divisions = division_values(set.divisions, p);
    for (const QuasiConstraint& c : set.constraints) {
        __int128 v = numerator(c.form, p, divisions);
        if (c.equality ? v != 0 : v < 0) return false;
    }
    return true;
}

bool holds(const ExtremePiece& piece, const std::int64_t* p) {
    return std::any_of(piece.where.begin(), piece.where.end(), [&](const QuasiBasicSet& s) { return holds(s, p); });
}

// The piece's point at p; nothing when a coordinate is not a whole number.
std::optional<std::vector<std::int64_t>> point_at(const ExtremePiece& piece, const std::int64_t* p) {
    std::vector<std::int64_t> x;
    for (const QuasiCoordinate& c : piece.point) {
        std::vector<std::int64_t> divisions = division_values(c.divisions, p);
        __int128 n = numerator(c.value, p, divisions);
        if (n % c.value.denominator != 0) return std::nullopt;
        __int128 v = n / c.value.denominator;
        if (v > INT64_MAX || v < INT64_MIN) throw Overflow{};
        x.push_back(static_cast<std::int64_t>(v));
    }
    return x;
}

bool in_polyhedron(const Polyhedron* p, const std::int64_t* values) {
    for (unsigned r = 0; r < p->NbConstraints; ++r) {
        const Value* row = p->Constraint[r];
        __int128 sum = value_of(row[p->Dimension + 1]);
        for (unsigned c = 0; c < p->Dimension; ++c) sum += static_cast<__int128>(value_of(row[c + 1])) * values[c];
        if (value_zero_p(row[0]) ? sum != 0 : sum < 0) return false;
    }
    return true;
}

// ---- Text -------------------------------------------------------------------------

std::string number_text(std::int64_t v) { return std::to_string(v); }

std::string quasi_text(const QuasiAffine& q, const std::vector<std::string>& parameter_names,
                       const std::vector<std::string>& division_texts);

// The texts of the floors of a local space, each in terms of the earlier ones.
std::vector<std::string> division_texts(const Divisions& divisions, const std::vector<std::string>& parameter_names) {
    std::vector<std::string> texts;
    for (const QuasiAffine& d : divisions) texts.push_back(quasi_text(d, parameter_names, texts));
    return texts;
}

// A sum of terms "2N", "-M", "3*floor(N / 2)", then the constant; "0" when
// nothing. `sign` multiplies every coefficient.
std::string sum_text(const QuasiAffine& q, const std::vector<std::string>& parameter_names,
                     const std::vector<std::string>& division_texts, int sign, bool with_constant, int& terms) {
    std::string text;
    terms = 0;
    auto term = [&](std::int64_t c, const std::string& name, bool is_floor) {
        c *= sign;
        if (c == 0) return;
        if (c < 0)
            text += "-";
        else if (terms > 0)
            text += "+";
        std::uint64_t m = c < 0 ? 0 - static_cast<std::uint64_t>(c) : static_cast<std::uint64_t>(c);
        if (m != 1) text += std::to_string(m) + (is_floor ? "*" : "");
        text += name;
        ++terms;
    };
    for (std::size_t k = 0; k < q.parameter.size(); ++k) term(q.parameter[k], parameter_names[k], false);
    for (std::size_t k = 0; k < q.division.size(); ++k) term(q.division[k], division_texts[k], true);
    if (with_constant && q.constant != 0) {
        std::int64_t c = q.constant * sign;
        if (c > 0 && terms > 0) text += "+";
        text += number_text(c);
        ++terms;
    }
    if (terms == 0) text = "0";
    return text;
}

// "N", "floor((N+1) / 3)", "2N-1".
std::string quasi_text(const QuasiAffine& q, const std::vector<std::string>& parameter_names,
                       const std::vector<std::string>& division_texts) {
    int terms = 0;
    std::string numerator = sum_text(q, parameter_names, division_texts, 1, true, terms);
    if (q.denominator == 1) return numerator;
    if (terms > 1) numerator = "(" + numerator + ")";
    return "floor(" + numerator + " / " + number_text(q.denominator) + ")";
}

// As the printer writes a constraint: the terms of the first term's sign on
// the left, the others and the constant on the right.
std::string constraint_text(const QuasiConstraint& c, const std::vector<std::string>& parameter_names,
                            const std::vector<std::string>& division_texts) {
    int leading = 0;
    for (std::int64_t v : c.form.parameter)
        if (!leading && v) leading = v > 0 ? 1 : -1;
    for (std::int64_t v : c.form.division)
        if (!leading && v) leading = v > 0 ? 1 : -1;
    if (!leading) leading = 1;
    QuasiAffine left = c.form, right = c.form;
    for (auto& v : left.parameter) v = v * leading > 0 ? v : 0;
    for (auto& v : left.division) v = v * leading > 0 ? v : 0;
    for (auto& v : right.parameter) v = v * leading < 0 ? v : 0;
    for (auto& v : right.division) v = v * leading < 0 ? v : 0;
    right.constant = c.form.constant;
    int terms = 0;
    std::string text = sum_text(left, parameter_names, division_texts, leading, false, terms);
    text += c.equality ? " = " : (leading > 0 ? " >= " : " <= ");
    text += sum_text(right, parameter_names, division_texts, -leading, true, terms);
    return text;
}

std::string set_text(const QuasiBasicSet& set, const std::vector<std::string>& parameter_names) {
    std::vector<std::string> floors = division_texts(set.divisions, parameter_names);
    std::string text = "{ ";
    for (std::size_t k = 0; k < parameter_names.size(); ++k) text += (k ? ", " : "") + parameter_names[k];
    text += " |";
    for (std::size_t k = 0; k < set.constraints.size(); ++k)
        text += (k ? ", " : " ") + constraint_text(set.constraints[k], parameter_names, floors);
    return text + " }";
}

std::string point_text(const ExtremePiece& piece, const std::vector<std::string>& parameter_names) {
    if (piece.empty) return "empty";
    std::string text = "(";
    for (std::size_t k = 0; k < piece.point.size(); ++k) {
        const QuasiCoordinate& c = piece.point[k];
        text += (k ? ", " : "") + quasi_text(c.value, parameter_names, division_texts(c.divisions, parameter_names));
    }
    return text + ")";
}

std::string tuple(const std::vector<std::int64_t>& x) {
    std::string text = "(";
    for (std::size_t k = 0; k < x.size(); ++k) text += (k ? ", " : "") + std::to_string(x[k]);
    return text + ")";
}

// ---- The check ----------------------------------------------------------------------

std::optional<std::vector<std::int64_t>> sample_of(isl_set* set, unsigned parameters) {
    isl_point* point = isl_set_sample_point(isl_set_copy(set));
    if (!point) return std::nullopt;
    std::optional<std::vector<std::int64_t>> values;
    if (isl_point_is_void(point) == isl_bool_false) {
        values.emplace();
        for (unsigned k = 0; k < parameters && values; ++k) {
            std::optional<mpq_class> v =
                rational_of(isl_point_get_coordinate_val(point, isl_dim_param, static_cast<int>(k)));
            if (v && v->get_den() == 1 && v->get_num().fits_slong_p())
                values->push_back(v->get_num().get_si());
            else
                values.reset();
        }
    }
    isl_point_free(point);
    return values;
}

// Every value of the box of half-side `radius` around `centre` (that stays
// within 64 bits), in lexicographic order.
template <class Visit>
void for_each_in_box(const std::vector<std::int64_t>& centre, std::int64_t radius, Visit visit) {
    std::size_t m = centre.size();
    for (std::int64_t c : centre)
        if (c > INT64_MAX / 2 || c < INT64_MIN / 2) return;
    std::vector<std::int64_t> p(m);
    for (std::size_t k = 0; k < m; ++k) p[k] = centre[k] - radius;
    for (;;) {
        visit(p.data());
        std::size_t k = m;
        while (k > 0 && p[k - 1] == centre[k - 1] + radius) {
            p[k - 1] = centre[k - 1] - radius;
            --k;
        }
        if (k == 0) return;
        ++p[k - 1];
    }
}

// The largest half-side whose box holds at most `values` values.
std::int64_t radius_for(unsigned parameters, unsigned values) {
    if (parameters == 0) return 0;
    auto side = static_cast<std::int64_t>(std::floor(std::pow(static_cast<double>(values), 1.0 / parameters) + 1e-9));
    return std::max<std::int64_t>(0, (side - 1) / 2);
}

struct CheckFailure {
    std::string message;
};

class ExtremesCheck {
public:
    ExtremesCheck(const ExtremesRequest& r, const std::vector<ExtremePiece>& pieces, CancelCheck* watch)
        : r_(r), pieces_(pieces), watch_(watch), variables_(r.nests->front().variables) {
        for (const LoopNest& nest : *r.nests) runners_.emplace_back(nest, watch);
    }

    // Throws CheckFailure at the first disagreement.
    void at(const std::int64_t* p) {
        if (r_.parameters > 0 && !in_polyhedron(r_.context, p)) return;
        if (++visited_ % 64 == 0 && watch_ && watch_->analysis_cancelled()) throw Stopped{};
        std::optional<std::vector<std::int64_t>> expected = nest_extreme(p);
        const ExtremePiece* holder = nullptr;
        for (const ExtremePiece& piece : pieces_) {
            if (!holds(piece, p)) continue;
            if (holder) fail(p, "two pieces of the answer hold");
            holder = &piece;
        }
        if (!holder) fail(p, "no piece of the answer holds");
        if (holder->empty) {
            if (expected) fail(p, "the answer is empty where the domain has the point " + tuple(*expected));
            return;
        }
        std::optional<std::vector<std::int64_t>> found = point_at(*holder, p);
        if (!found) fail(p, "the answer is no integer point");
        if (!expected) fail(p, "the answer is " + tuple(*found) + " where the domain has no point");
        if (*found != *expected) fail(p, "the answer is " + tuple(*found) + " where the extreme is " + tuple(*expected));
    }

    struct Stopped {};

private:
    std::optional<std::vector<std::int64_t>> nest_extreme(const std::int64_t* p) {
        std::optional<std::vector<std::int64_t>> best;
        for (NestRunner& runner : runners_) {
            runner.fix_parameters(p);
            if (!runner.next(r_.maximum)) {
                if (runner.beyond_64_bits()) throw Overflow{};
                if (runner.stopped()) throw Stopped{};
                continue;
            }
            std::vector<std::int64_t> x(runner.point(), runner.point() + variables_);
            if (!best || (r_.maximum ? *best < x : x < *best)) best = std::move(x);
        }
        return best;
    }

    [[noreturn]] void fail(const std::int64_t* p, const std::string& why) {
        std::string where;
        for (unsigned k = 0; k < r_.parameters; ++k)
            where += (k ? ", " : "") + r_.names[r_.names.size() - r_.parameters + k] + " = " + std::to_string(p[k]);
        throw CheckFailure{r_.what + " fails its check" + (where.empty() ? "" : " at " + where) + ": " + why};
    }

    const ExtremesRequest& r_;
    const std::vector<ExtremePiece>& pieces_;
    CancelCheck* watch_;
    unsigned variables_;
    std::vector<NestRunner> runners_;
    unsigned visited_ = 0;
};

}  // namespace

namespace {

// The check of `answer` (pieces already read): one error line's text when
// it fails, nothing when it agrees.
std::optional<std::string> check_failure(const ExtremesRequest& request, isl_pw_multi_aff* answer,
                                         const std::vector<ExtremePiece>& pieces, isl_set* parameter_set,
                                         WorkDeadline& watch) {
    const unsigned m = request.parameters;
    try {
        ExtremesCheck check(request, pieces, &watch);
        // A box around a point of the context, and a small box around a
        // point of each piece (the pieces without a point included).
        if (auto centre = sample_of(parameter_set, m))
            for_each_in_box(*centre, radius_for(m, extremes_check_values), [&](const std::int64_t* p) { check.at(p); });
        std::vector<IslSetPtr> piece_sets;
        isl_pw_multi_aff_foreach_piece(
            answer,
            [](isl_set* set, isl_multi_aff* point, void* user) -> isl_stat {
                isl_multi_aff_free(point);
                static_cast<std::vector<IslSetPtr>*>(user)->emplace_back(set);
                return isl_stat_ok;
            },
            &piece_sets);
        IslSetPtr covered(isl_pw_multi_aff_domain(isl_pw_multi_aff_copy(answer)));
        piece_sets.emplace_back(isl_set_subtract(isl_set_copy(parameter_set), covered.release()));
        for (const IslSetPtr& set : piece_sets)
            if (auto centre = set ? sample_of(set.get(), m) : std::nullopt)
                for_each_in_box(*centre, radius_for(m, piece_check_values), [&](const std::int64_t* p) { check.at(p); });
    } catch (const CheckFailure& failure) {
        return failure.message + " - command ignored";
    } catch (const ExtremesCheck::Stopped&) {
        return watch.stopped(request.what);
    } catch (const Overflow&) {
        return "64-bit overflow in " + request.what + " - command ignored";
    }
    return std::nullopt;
}

// The context's values as an isl set of parameters; null when isl failed.
IslSetPtr parameter_set_of(isl_ctx* ctx, const ExtremesRequest& request) {
    const unsigned m = request.parameters;
    std::vector<std::string> parameter_names(request.names.end() - m, request.names.end());
    IslSetPtr context = isl_set_of(ctx, request.context, parameter_names, m);
    return IslSetPtr(context ? isl_set_params(context.release()) : nullptr);
}

}  // namespace

void answer_parametric_extremes(StatementReport& report, const ExtremesRequest& request, WorkDeadline& watch) {
    const unsigned m = request.parameters;
    std::vector<std::string> parameter_names(request.names.end() - m, request.names.end());
    IslCtxPtr ctx = make_isl_context(isl_operation_limit);
    auto isl_failed = [&] {
        bool quota = ctx && isl_ctx_last_error(ctx.get()) == isl_error_quota;
        report_error(report, request.what + (quota ? " needs more of isl's work than allowed" : ": isl failed") +
                                 " - command ignored");
    };
    if (!ctx) return isl_failed();
    IslSetPtr domain = isl_set_of(ctx.get(), request.domain, request.names, m);
    IslSetPtr parameter_set = parameter_set_of(ctx.get(), request);
    if (!domain || !parameter_set) return isl_failed();
    IslSetPtr within(isl_set_intersect_params(domain.release(), isl_set_copy(parameter_set.get())));
    if (!within) return isl_failed();
    IslPwMultiAffPtr answer(request.maximum ? isl_set_lexmax_pw_multi_aff(within.release())
                                            : isl_set_lexmin_pw_multi_aff(within.release()));
    if (answer) answer.reset(isl_pw_multi_aff_coalesce(answer.release()));
    if (!answer) return isl_failed();

    std::vector<ExtremePiece> pieces;
    try {
        pieces = pieces_of(answer.get(), parameter_set.get(), m);
    } catch (const Unreadable&) {
        return isl_failed();
    }
    if (auto failure = check_failure(request, answer.get(), pieces, parameter_set.get(), watch)) {
        report_error(report, *failure);
        return;
    }
    std::string text;
    if (request.isl_form) {
        text = "> " + isl_string(isl_pw_multi_aff_to_str(answer.get())) + "\n";
    } else {
        for (const ExtremePiece& piece : pieces)
            for (const QuasiBasicSet& set : piece.where)
                text += "> " + set_text(set, parameter_names) + " : " + point_text(piece, parameter_names) + "\n";
    }
    std::fputs(text.c_str(), report.out);
}

std::optional<std::string> extremes_check_failure(const ExtremesRequest& request, const std::string& isl_answer,
                                                  WorkDeadline& watch) {
    IslCtxPtr ctx = make_isl_context(isl_operation_limit);
    IslSetPtr parameter_set = parameter_set_of(ctx.get(), request);
    IslPwMultiAffPtr answer(isl_pw_multi_aff_read_from_str(ctx.get(), isl_answer.c_str()));
    if (!parameter_set || !answer) return "unreadable";
    try {
        std::vector<ExtremePiece> pieces = pieces_of(answer.get(), parameter_set.get(), request.parameters);
        return check_failure(request, answer.get(), pieces, parameter_set.get(), watch);
    } catch (const Unreadable&) {
        return "unreadable";
    }
}
