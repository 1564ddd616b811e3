// Integer emptiness through the loop nest of a bounded polyhedron (an
// unbounded one is first cut to a box that keeps a point if it has any);
// inclusion as the emptiness of PolyLib's integer difference; equality as
// inclusion both ways. A point found is checked against the operands
// themselves, so a "false" needs no other proof; a "true" rests on PolyLib's
// results only once they pass the exact check.
#include "store/domain_tests.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <vector>

#include "base/error_report.h"
#include "store/exact_check.h"
#include "store/loop_nest.h"
#include "store/operations.h"
#include "store/work_deadline.h"
#include "store/work_space.h"

namespace {

constexpr unsigned working_rows = 100;

struct TestKind {
    const char* label;
    const char* noun;   // "the inclusion test", for failure lines
};

const TestKind empty_kind{"Isempty", "the emptiness test"};
const TestKind subset_kind{"Issubset", "the inclusion test"};
const TestKind equal_kind{"Isequal", "the equality test"};

const TestKind& kind_of(DomainTest test) {
    switch (test) {
    case DomainTest::empty: return empty_kind;
    case DomainTest::subset: return subset_kind;
    case DomainTest::equal: return equal_kind;
    }
    return empty_kind;
}

void refuse(StatementReport& report, const TestKind& kind, const std::string& reason) {
    note_refusal(report);
    std::fprintf(report.out, "> %s : %s - command ignored\n", kind.label, reason.c_str());
}

using Point = std::vector<std::int64_t>;

bool bounded(const Polyhedron* p) {
    for (unsigned r = 0; r < p->NbRays; ++r)
        if (value_zero_p(p->Ray[r][0]) || value_zero_p(p->Ray[r][p->Dimension + 1])) return false;
    return true;
}

// Whether the integer point satisfies every row of the polyhedron, exactly.
bool holds_point(const Polyhedron* p, const Point& x) {
    for (unsigned r = 0; r < p->NbConstraints; ++r) {
        const Value* row = p->Constraint[r];
        ExactNumber sum = exact_number(row[p->Dimension + 1]);
        for (unsigned c = 0; c < p->Dimension; ++c)
            if (value_notzero_p(row[c + 1])) sum += exact_number(row[c + 1]) * ExactNumber(static_cast<long>(x[c]));
        if (value_zero_p(row[0]) ? sum != 0 : sum < 0) return false;
    }
    return true;
}

bool in_union(const Polyhedron* domain, const Point& x) {
    for (const Polyhedron* p = domain; p; p = p->next)
        if (!emptyQ(p) && p->NbRays > 0 && holds_point(p, x)) return true;
    return false;
}

enum class Search { found, none, beyond_64_bits, polylib_failed, stopped };

// The first point of a bounded polyhedron. "none" is only as good as the
// generators the nest is checked against.
Search first_point(const Polyhedron* p, Point& x, CancelCheck* watch) {
    LoopNest nest;
    switch (build_loop_nest(p, nullptr, nest)) {
    case NestOutcome::ready: break;
    case NestOutcome::polylib_failed: return Search::polylib_failed;
    case NestOutcome::unbounded:
    case NestOutcome::wrapped: return Search::beyond_64_bits;
    }
    NestRunner runner(nest, watch);
    runner.fix_parameters(nullptr);
    bool found = runner.next();
    if (runner.beyond_64_bits()) return Search::beyond_64_bits;
    if (runner.stopped()) return Search::stopped;
    if (!found) return Search::none;
    x.assign(runner.point(), runner.point() + nest.variables);
    return Search::found;
}

__int128 floor_division(__int128 a, __int128 b) {   // b > 0
    __int128 q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

// The box of the vertices, widened by each ray and line once (a line is
// taken in the direction PolyLib gives it): if the polyhedron holds an
// integer point z, it holds z minus whole multiples of its rays and lines
// inside that box. Nothing when a bound leaves 64 bits.
std::optional<std::vector<std::pair<std::int64_t, std::int64_t>>> generator_box(const Polyhedron* p) {
    const unsigned n = p->Dimension;
    std::vector<__int128> low(n), high(n), below(n, 0), above(n, 0);
    bool vertex_seen = false;
    for (unsigned r = 0; r < p->NbRays; ++r) {
        const Value* g = p->Ray[r];
        __int128 d = value_of(g[n + 1]);
        bool vertex = value_notzero_p(g[0]) && d > 0;
        for (unsigned c = 0; c < n; ++c) {
            __int128 v = value_of(g[c + 1]);
            if (!vertex) {
                (v < 0 ? below : above)[c] += v;
                continue;
            }
            __int128 floor = floor_division(v, d), ceiling = -floor_division(-v, d);
            low[c] = vertex_seen ? std::min(low[c], floor) : floor;
            high[c] = vertex_seen ? std::max(high[c], ceiling) : ceiling;
        }
        vertex_seen |= vertex;
    }
    std::vector<std::pair<std::int64_t, std::int64_t>> box;
    constexpr __int128 limit = std::numeric_limits<std::int64_t>::max();
    for (unsigned c = 0; c < n; ++c) {
        __int128 l = low[c] + below[c], h = high[c] + above[c];
        if (l < -limit || h > limit) return std::nullopt;
        box.emplace_back(static_cast<std::int64_t>(l), static_cast<std::int64_t>(h));
    }
    return box;
}

// The polyhedron cut to its box; "none" stands once the cut passes the
// exact check of a declaration.
Search point_in_box(const Polyhedron* p, Point& x, CancelCheck* watch) {
    auto box = generator_box(p);
    if (!box) return Search::beyond_64_bits;
    const unsigned n = p->Dimension;
    Matrix* rows = nullptr;
    Polyhedron* cut = nullptr;
    bool done = polylib_guarded([&] {
        rows = Matrix_Alloc(p->NbConstraints + 2 * n, n + 2);
        for (unsigned r = 0; r < p->NbConstraints; ++r)
            for (unsigned c = 0; c < n + 2; ++c) value_assign(rows->p[r][c], p->Constraint[r][c]);
        for (unsigned c = 0; c < n; ++c) {
            Value* at_least = rows->p[p->NbConstraints + 2 * c];
            Value* at_most = rows->p[p->NbConstraints + 2 * c + 1];
            for (unsigned k = 0; k < n + 2; ++k) {
                value_set_si(at_least[k], 0);
                value_set_si(at_most[k], 0);
            }
            value_set_si(at_least[0], 1);
            value_set_si(at_least[c + 1], 1);
            value_set_si(at_least[n + 1], -(*box)[c].first);
            value_set_si(at_most[0], 1);
            value_set_si(at_most[c + 1], -1);
            value_set_si(at_most[n + 1], (*box)[c].second);
        }
        cut = Constraints2Polyhedron(rows, working_rows);
    });
    MatrixPtr owned_rows(rows);
    PolyhedronPtr owned_cut(cut);
    if (!done || !cut) return Search::polylib_failed;
    Search found = emptyQ(cut) || cut->NbRays == 0 ? Search::none : first_point(cut, x, watch);
    if (found != Search::none) return found;
    ConeConstraints declared;
    for (unsigned r = 0; r < rows->NbRows; ++r) {
        ExactRow row(n + 1);
        for (unsigned c = 0; c <= n; ++c) row[c] = exact_number(rows->p[r][c + 1]);
        (value_zero_p(rows->p[r][0]) ? declared.equalities : declared.inequalities).push_back(std::move(row));
    }
    return exact_declared_domain(cut, declared) ? Search::none : Search::beyond_64_bits;
}

// A point of the polyhedron, bounded or not; one found is checked against
// it exactly.
Search some_point(const Polyhedron* p, Point& x, CancelCheck* watch) {
    if (emptyQ(p) || p->NbRays == 0) return Search::none;
    Search found = bounded(p) ? first_point(p, x, watch) : point_in_box(p, x, watch);
    if (found == Search::found && !holds_point(p, x)) return Search::beyond_64_bits;
    return found;
}

class Answer {
public:
    Answer(StatementReport& report, std::string what, WorkDeadline& watch)
        : report_(report), what_(std::move(what)), watch_(watch) {}
    // False, once told, when the search failed.
    bool usable(Search s) {
        if (s == Search::beyond_64_bits) report_error(report_, "64-bit overflow in " + what_ + " - command ignored");
        if (s == Search::polylib_failed) report_polylib_failure(report_, what_);
        if (s == Search::stopped) report_error(report_, watch_.stopped(what_));
        return s == Search::found || s == Search::none;
    }
    CancelCheck* watch() { return &watch_; }
    void overflow() { report_error(report_, "64-bit overflow in " + what_ + " - command ignored"); }
    void polylib_failed() { report_polylib_failure(report_, what_); }

private:
    StatementReport& report_;
    std::string what_;
    WorkDeadline& watch_;
};

std::optional<bool> union_is_empty(Answer& answer, const Polyhedron* domain) {
    Point x;
    for (const Polyhedron* p = domain; p; p = p->next) {
        Search s = some_point(p, x, answer.watch());
        if (!answer.usable(s)) return std::nullopt;
        if (s == Search::found) return false;
    }
    return true;
}

// Whether each piece of `a` lies inside one piece of `b` as a rational set:
// b's rows hold at a's generators (exact, as a's are stored ones).
bool rationally_inside(const Polyhedron* a, const Polyhedron* b) {
    for (const Polyhedron* piece = a; piece; piece = piece->next) {
        if (emptyQ(piece) || piece->NbRays == 0) continue;
        ConeGenerators g = generators_of(piece);
        bool inside = false;
        for (const Polyhedron* outer = b; outer && !inside; outer = outer->next)
            inside = !emptyQ(outer) && outer->NbRays > 0 && generators_satisfy(g, constraints_of(outer));
        if (!inside) return false;
    }
    return true;
}

// Whether every integer point of a is in b. Most often each piece of a lies
// in a piece of b; otherwise PolyLib's difference (whose complements keep
// integer points: c >= 0 becomes c <= -1) is searched, and a point found
// there, in a and not in b, answers no. Only a difference without points
// needs the exact check the difference statement makes.
std::optional<bool> included(Answer& answer, const Polyhedron* a, const Polyhedron* b) {
    if (rationally_inside(a, b)) return true;
    Polyhedron* difference = nullptr;
    auto* first = const_cast<Polyhedron*>(a);
    auto* second = const_cast<Polyhedron*>(b);
    if (!polylib_guarded([&] { difference = DomainDifference(first, second, working_rows); })) {
        answer.polylib_failed();
        return std::nullopt;
    }
    DomainPtr owned(difference);
    Point x;
    bool searched = true;
    for (const Polyhedron* p = difference; p && searched; p = p->next) {
        Search s = some_point(p, x, answer.watch());
        if (s == Search::found && in_union(a, x) && !in_union(b, x)) return false;
        if (s == Search::stopped) {
            answer.usable(s);
            return std::nullopt;
        }
        searched = s == Search::none;
    }
    if (difference && !exact_binop_result("diff", difference, a, b)) {
        answer.overflow();
        return std::nullopt;
    }
    if (searched) return true;
    return union_is_empty(answer, difference);
}

std::size_t union_rows(const Polyhedron* domain) {
    std::size_t rows = 0;
    for (const Polyhedron* p = domain; p; p = p->next) rows += p->NbConstraints + p->NbRays;
    return rows;
}

std::string dimensions(unsigned d) { return std::to_string(d) + (d == 1 ? " dimension" : " dimensions"); }

}  // namespace

IntegerEmptiness integer_emptiness(const Polyhedron* polyhedron) {
    Point x;
    switch (some_point(polyhedron, x, nullptr)) {
    case Search::found: return IntegerEmptiness::not_empty;
    case Search::none: return IntegerEmptiness::empty;
    case Search::beyond_64_bits: return IntegerEmptiness::beyond_64_bits;
    case Search::polylib_failed:
    case Search::stopped: return IntegerEmptiness::polylib_failed;
    }
    return IntegerEmptiness::polylib_failed;
}

void print_domain_test(StoreSession& session, DomainTest test, const std::string& first, const std::string& second,
                       DomainEntry* list) {
    StatementReport& report = session.report;
    const TestKind& kind = kind_of(test);
    const DomainEntry* a = lookup_domain(first, list);
    const DomainEntry* b = test == DomainTest::empty ? a : lookup_domain(second, list);
    if (!a || !b) {
        refuse(report, kind, test == DomainTest::empty ? "'" + first + "' undeclared"
                                                       : "'" + first + "' or '" + second + "' undeclared");
        return;
    }
    unsigned da = a->domain->Dimension, db = b->domain->Dimension;
    if (da != db) {
        refuse(report, kind, "'" + first + "' has " + dimensions(da) + " and '" + second + "' has " + dimensions(db));
        return;
    }
    std::string what = std::string(kind.noun) + " of '" + first + "'";
    if (test != DomainTest::empty) what += std::string(test == DomainTest::subset ? " in '" : " and '") + second + "'";
    if (auto problem = work_space_problem(da, union_rows(a->domain) + union_rows(b->domain))) {
        report_error(report, what + " " + *problem + " - command ignored");
        return;
    }
    WorkDeadline watch(session.reader, session.analysis_time_limit);
    Answer answer(report, what, watch);
    std::optional<bool> result;
    if (test == DomainTest::empty) {
        result = union_is_empty(answer, a->domain);
    } else {
        result = included(answer, a->domain, b->domain);
        if (result && *result && test == DomainTest::equal) result = included(answer, b->domain, a->domain);
    }
    if (!result) return;
    std::fprintf(report.out, "> %s\n", *result ? "true" : "false");
}
