// Integer emptiness through the loop nest of a bounded polyhedron (an
// unbounded one is first cut to a box that keeps a point if it has any);
// inclusion as the emptiness of PolyLib's integer difference; equality as
// inclusion both ways. A point found is checked against the operands
// themselves, so a "false" needs no other proof; a "true" rests on PolyLib's
// results only once they pass the exact check.
#include "calculus/domain_tests.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>
#include <vector>

#include "base/error_report.h"
#include "worker/analysis_worker.h"
#include "calculus/domain_work.h"
#include "calculus/exact_check.h"
#include "calculus/loop_nest.h"
#include "calculus/operations.h"
#include "worker/work_deadline.h"
#include "worker/work_space.h"
#include "worker/worker_problem.h"

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

// What a test found, or why it has no answer.
enum class Verdict { holds, fails, beyond_64_bits, polylib_failed, stopped };

std::optional<Verdict> failure_of(Search s) {
    switch (s) {
    case Search::found:
    case Search::none: return std::nullopt;
    case Search::beyond_64_bits: return Verdict::beyond_64_bits;
    case Search::polylib_failed: return Verdict::polylib_failed;
    case Search::stopped: return Verdict::stopped;
    }
    return Verdict::polylib_failed;
}

Verdict union_is_empty(const Polyhedron* domain, CancelCheck* watch) {
    Point x;
    for (const Polyhedron* p = domain; p; p = p->next) {
        Search s = some_point(p, x, watch);
        if (auto failure = failure_of(s)) return *failure;
        if (s == Search::found) return Verdict::fails;
    }
    return Verdict::holds;
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
Verdict included(const Polyhedron* a, const Polyhedron* b, CancelCheck* watch) {
    if (rationally_inside(a, b)) return Verdict::holds;
    Polyhedron* difference = nullptr;
    auto* first = const_cast<Polyhedron*>(a);
    auto* second = const_cast<Polyhedron*>(b);
    if (!polylib_guarded([&] { difference = DomainDifference(first, second, working_rows); }))
        return Verdict::polylib_failed;
    DomainPtr owned(difference);
    Point x;
    bool searched = true;
    for (const Polyhedron* p = difference; p && searched; p = p->next) {
        Search s = some_point(p, x, watch);
        if (s == Search::found && in_union(a, x) && !in_union(b, x)) return Verdict::fails;
        if (s == Search::stopped) return Verdict::stopped;
        searched = s == Search::none;
    }
    if (difference && !exact_binop_result("diff", difference, a, b)) return Verdict::beyond_64_bits;
    if (searched) return Verdict::holds;
    return union_is_empty(difference, watch);
}

Verdict verdict_of(DomainTest test, const Polyhedron* a, const Polyhedron* b, CancelCheck* watch) {
    if (test == DomainTest::empty) return union_is_empty(a, watch);
    Verdict v = included(a, b, watch);
    if (v == Verdict::holds && test == DomainTest::equal) v = included(b, a, watch);
    return v;
}

// Runs in the worker: the test, its search bounded by the analysis time
// limit it is sent. False when PolyLib failed (the worker then tells
// whether an allocation failed at the budget); else the verdict on
// standard output.
bool domain_test_job(const std::string& bytes) {
    ProblemReader reader(bytes);
    std::int64_t test = 0, limit_ms = 0;
    DomainPtr a, b;
    if (!reader.number(test) || test < 0 || test > static_cast<std::int64_t>(DomainTest::equal) ||
        !reader.number(limit_ms) || !read_union(reader, a) || !read_union(reader, b))
        return false;
    WorkDeadline watch(nullptr, std::chrono::milliseconds(limit_ms));
    Verdict v = verdict_of(static_cast<DomainTest>(test), a.get(), b.get(), &watch);
    if (v == Verdict::polylib_failed) return false;
    ProblemWriter answer;
    answer.number(static_cast<std::int64_t>(v));
    std::string text = answer.take();
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
}

// The test in the worker: Ctrl-C kills it at once. The outcome of a run
// that did not finish is told as a contained analysis's, with the time
// limit the search had.
std::optional<Verdict> verdict_in_worker(StoreSession& session, DomainTest test, const Polyhedron* a,
                                         const Polyhedron* b, const std::string& what) {
    ProblemWriter problem;
    problem.number(static_cast<std::int64_t>(test));
    problem.number(session.analysis_time_limit.count());
    write_union(problem, a);
    write_union(problem, test == DomainTest::empty ? nullptr : b);
    std::fflush(session.report.out);
    ContainedResult run = run_in_worker(domain_test_job, problem.take(), domain_work_time_limit, session.reader);
    std::int64_t v = -1;
    if (run.outcome == ContainedOutcome::Finished) {
        ProblemReader reader(run.output);
        if (reader.number(v) && v >= 0 && v <= static_cast<std::int64_t>(Verdict::stopped) &&
            v != static_cast<std::int64_t>(Verdict::polylib_failed))
            return static_cast<Verdict>(v);
        run.outcome = ContainedOutcome::ExitedEarly;
    }
    if (run.outcome == ContainedOutcome::LibraryFailed)
        report_polylib_failure(session.report, what);
    else
        report_error(session.report, contained_failure_message(run, what, session.analysis_time_limit));
    return std::nullopt;
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
    const Polyhedron* other = test == DomainTest::empty ? nullptr : b->domain;
    WorkDeadline watch(session.reader, session.analysis_time_limit);
    std::optional<Verdict> verdict;
    bool quick = quick_domain_work(DomainWork{DomainWorkKind::difference, a->domain, other});
    if (quick)
        verdict = verdict_of(test, a->domain, other, &watch);
    else
        verdict = verdict_in_worker(session, test, a->domain, other, what);
    if (!verdict) return;
    switch (*verdict) {
    case Verdict::holds:
    case Verdict::fails: std::fprintf(report.out, "> %s\n", *verdict == Verdict::holds ? "true" : "false"); break;
    case Verdict::beyond_64_bits: report_error(report, "64-bit overflow in " + what + " - command ignored"); break;
    case Verdict::polylib_failed: report_polylib_failure(report, what); break;
    case Verdict::stopped: {
        // In the worker only the time limit stops the search; Ctrl-C kills it.
        ContainedResult timed_out;
        timed_out.outcome = ContainedOutcome::TimedOut;
        report_error(report, quick ? watch.stopped(what)
                                   : contained_failure_message(timed_out, what, session.analysis_time_limit));
        break;
    }
    }
}
