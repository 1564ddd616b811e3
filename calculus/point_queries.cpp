// Points, counts, extremes and loop nests of stored domains: the request is
// checked (names, context, boundedness), a union is made disjoint, each
// piece gets its loop nest, and the nests run at each value of the
// parameters. Counts come from the Ehrhart quasi-polynomial, computed and
// evaluated in the analysis worker, and are checked against the nests.
#include "calculus/point_queries.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <gmpxx.h>
#include <optional>
#include <vector>

extern "C" {
#include <polylib/ehrhart.h>
}

#include "base/error_report.h"
#include "base/locks.h"
#include "calculus/analyses.h"
#include "worker/analysis_worker.h"
#include "calculus/codegen.h"
#include "calculus/disjoint_decomposition.h"
#include "calculus/loop_nest.h"
#include "calculus/operations.h"
#include "worker/work_deadline.h"
#include "worker/work_space.h"
#include "worker/worker_problem.h"
#include "calculus/chamber_counts.h"
#include "calculus/dilated_count.h"
#include "calculus/isl_counts.h"
#include "calculus/silenced_output.h"
#include "calculus/parametric_extremes.h"

namespace {

constexpr unsigned working_rows = 100;
// Levels the counts of a statement may enter to check the Ehrhart
// quasi-polynomials, chamber by chamber.
constexpr std::uint64_t count_check_budget = std::uint64_t{1} << 24;
// Levels the counts of a dilation's small copies may enter.
constexpr std::uint64_t dilation_budget = std::uint64_t{1} << 24;
// Levels the nests may enter to count every value at once, before the
// quasi-polynomials are asked for.
constexpr std::uint64_t direct_count_budget = std::uint64_t{1} << 12;
// Levels the nests may enter to count a sample of the answers again.
constexpr std::uint64_t sample_budget = std::uint64_t{1} << 12;
// Points written between two looks at the cancellation.
constexpr std::uint64_t points_between_looks = 4096;
// The text of points is handed to the stream in pieces of about this size.
constexpr std::size_t text_piece = std::size_t{1} << 16;

struct QueryKind {
    const char* label;               // "Points", as in the refusals
    const char* what;                // names the work in failure lines
    const char* unbounded_context;   // why the context must be bounded; null when it need not be
};

const QueryKind points_kind{"Points", "the listing of the points of",
                            ": the points are listed for each value of its parameters, which must be finitely many"};
const QueryKind card_kind{"Card", "the count of the points of",
                          ": the points are counted for each value of its parameters, which must be finitely many "
                          "(ehrhart gives the counting polynomials)"};
const QueryKind lexmin_kind{"Lexmin", "the lexicographic minimum of",
                            ", and PolyLib has no parametric integer programming: give the parameters bounds"};
const QueryKind lexmax_kind{"Lexmax", "the lexicographic maximum of",
                            ", and PolyLib has no parametric integer programming: give the parameters bounds"};
const QueryKind sample_kind{"Sample", "the sample point of",
                            ", and PolyLib has no parametric integer programming: give the parameters bounds"};
const QueryKind codegen_kind{"Codegen", "the loop nest of", nullptr};

const QueryKind& kind_of(PointQuery query) {
    switch (query) {
    case PointQuery::points: return points_kind;
    case PointQuery::card: return card_kind;
    case PointQuery::lexmin: return lexmin_kind;
    case PointQuery::lexmax: return lexmax_kind;
    case PointQuery::sample: return sample_kind;
    }
    return points_kind;
}

void refuse(StatementReport& report, const QueryKind& kind, const std::string& reason) {
    note_refusal(report);
    std::fprintf(report.out, "> %s : %s - command ignored\n", kind.label, reason.c_str());
}

std::string decimal(unsigned __int128 v) {
    char digits[40];
    char* end = digits + sizeof digits;
    char* p = end;
    do {
        *--p = static_cast<char>('0' + static_cast<int>(v % 10));
        v /= 10;
    } while (v > 0);
    return std::string(p, end);
}

std::string points_text(const std::string& count) { return count + (count == "1" ? " point" : " points"); }

std::size_t union_rows(const Polyhedron* domain) {
    std::size_t rows = 0;
    for (const Polyhedron* p = domain; p; p = p->next) rows += p->NbConstraints + p->NbRays;
    return rows;
}

// What a query works on once checked: the domain's pieces (made disjoint
// for a union), each with its loop nest, and the nest of the context.
struct PreparedQuery {
    StatementReport* report = nullptr;
    CancelCheck* cancel = nullptr;   // the user's, for the worker
    std::chrono::milliseconds time_limit{};
    WorkDeadline* watch = nullptr;   // the user's and the time limit, for the work done here
    const DomainEntry* entry = nullptr;
    const DomainEntry* context = nullptr;
    unsigned parameters = 0;
    std::vector<std::string> parameter_names;
    DomainPtr disjoint;
    std::vector<const Polyhedron*> pieces;
    std::vector<LoopNest> nests;
    LoopNest context_nest;   // over the parameters alone; no variable without parameters
    bool context_unbounded = false;   // then there is no context_nest
    std::string what;        // e.g. "the listing of the points of 'D'"

    FILE* out() const { return report->out; }
    bool cancelled() const { return watch->analysis_cancelled(); }
    void fail(const std::string& why) const { report_error(*report, why + " - command ignored"); }
    void overflow() const { fail("64-bit overflow in " + what); }
    void interrupted() const { report_error(*report, watch->stopped(what)); }
    void polylib_failed() const { report_polylib_failure(*report, what); }
};

std::string unbounded_domain(const PreparedQuery& q) {
    std::string text = "domain '" + q.entry->name + "' has infinitely many points";
    if (q.parameters > 0) text += " for some values of the parameters of '" + q.context->name + "'";
    return text;
}

// Tells why not, once, when the nest cannot be used.
bool nest_ready(const QueryKind& kind, const PreparedQuery& q, NestOutcome outcome) {
    switch (outcome) {
    case NestOutcome::ready: return true;
    case NestOutcome::unbounded: refuse(*q.report, kind, unbounded_domain(q)); return false;
    case NestOutcome::wrapped: q.overflow(); return false;
    case NestOutcome::polylib_failed: q.polylib_failed(); return false;
    }
    return false;
}

bool make_pieces(PreparedQuery& q) {
    const Polyhedron* domain = q.entry->domain;
    if (!domain->next) {
        q.pieces.push_back(domain);
        return true;
    }
    try {
        q.disjoint = sound_disjoint_domain(domain);
    } catch (const DecompositionFailure&) {
        q.polylib_failed();
        return false;
    }
    if (!exact_disjoint_result(q.disjoint.get(), domain)) {
        q.overflow();
        return false;
    }
    for (const Polyhedron* p = q.disjoint.get(); p; p = p->next) q.pieces.push_back(p);
    return true;
}

// `parametric`: a context of infinitely many values is taken (the answer
// is then a function of the parameters), not refused.
std::optional<PreparedQuery> prepare(StoreSession& session, WorkDeadline& watch, const QueryKind& kind,
                                     const std::string& domain_name, const std::string& context_name,
                                     DomainEntry* list, bool parametric = false) {
    PreparedQuery q;
    q.report = &session.report;
    q.cancel = session.reader;
    q.time_limit = session.analysis_time_limit;
    q.watch = &watch;
    StatementReport& report = session.report;
    q.entry = lookup_domain(domain_name, list);
    q.context = lookup_domain(context_name, list);
    if (!q.entry || !q.context) {
        refuse(report, kind, "'" + domain_name + "' or '" + context_name + "' undeclared");
        return std::nullopt;
    }
    if (auto problem = context_problem(*q.entry, *q.context)) {
        refuse(report, kind, *problem);
        return std::nullopt;
    }
    q.what = std::string(kind.what) + " '" + domain_name + "'";
    if (auto problem = work_space_problem(q.entry->domain->Dimension, union_rows(q.entry->domain))) {
        q.fail(q.what + " " + *problem);
        return std::nullopt;
    }
    const Polyhedron* context = q.context->domain;
    q.parameters = context->Dimension;
    q.parameter_names = var_names_array(q.context->vars);
    bool failed = false;
    for (const Polyhedron* piece = q.entry->domain; piece; piece = piece->next) {
        if (emptyQ(piece)) continue;
        bool bounded = bounded_for_fixed_parameters(piece, q.parameters, failed);
        if (failed) {
            q.polylib_failed();
            return std::nullopt;
        }
        if (!bounded) {
            refuse(report, kind, unbounded_domain(q));
            return std::nullopt;
        }
    }
    if (kind.unbounded_context && q.parameters > 0) {
        q.context_unbounded = !bounded_for_fixed_parameters(context, 0, failed) && !failed;
        if (q.context_unbounded && !parametric) {
            refuse(report, kind, "context '" + context_name + "' is unbounded" + kind.unbounded_context);
            return std::nullopt;
        }
        if (failed) {
            q.polylib_failed();
            return std::nullopt;
        }
        if (!q.context_unbounded && !nest_ready(kind, q, build_loop_nest(context, nullptr, q.context_nest)))
            return std::nullopt;
    }
    if (!make_pieces(q)) return std::nullopt;
    const Polyhedron* nest_context = q.parameters > 0 ? context : nullptr;
    q.nests.resize(q.pieces.size());
    for (std::size_t k = 0; k < q.pieces.size(); ++k)
        if (!nest_ready(kind, q, build_loop_nest(q.pieces[k], nest_context, q.nests[k]))) return std::nullopt;
    if (q.nests.empty()) {   // a union without any point
        LoopNest nothing;
        nothing.variables = q.entry->domain->Dimension - q.parameters;
        nothing.parameters = q.parameters;
        nothing.levels.resize(nothing.variables);
        nothing.empty = true;
        q.nests.push_back(std::move(nothing));
    }
    return q;
}

// "N = 3, M = 0" for the values of the parameters.
std::string parameter_values(const PreparedQuery& q, const std::int64_t* values) {
    std::string text;
    for (unsigned k = 0; k < q.parameters; ++k)
        text += (k ? ", " : "") + q.parameter_names[k] + " = " + std::to_string(values[k]);
    return text;
}

// What heads the answer at these values: "N = 3 : ", nothing without parameters.
std::string heading(const PreparedQuery& q, const std::int64_t* values) {
    return q.parameters > 0 ? parameter_values(q, values) + " : " : "";
}

std::string tuple(const std::int64_t* x, unsigned n) {
    std::string text = "(";
    for (unsigned k = 0; k < n; ++k) text += (k ? ", " : "") + std::to_string(x[k]);
    return text + ")";
}

std::string values_left_over(std::uint64_t bound, unsigned __int128 total) {
    return "> the first " + std::to_string(bound) + " of the " + decimal(total) +
           " values of the parameters are listed\n";
}

// The values of the parameters in lexicographic order, `bound` at most:
// `answer` runs at each (false stops everything). False when the work
// stopped (told); `left_over` is then the line that tells how many values
// were not answered, or empty.
template <class Answer>
bool for_each_parameter_value(const PreparedQuery& q, std::uint64_t bound, std::string& left_over, Answer&& answer) {
    NestRunner values(q.context_nest, q.watch);
    values.fix_parameters(nullptr);
    std::uint64_t listed = 0;
    while (values.next()) {
        if (listed == bound) {
            unsigned __int128 total = 0;
            values.fix_parameters(nullptr);
            if (values.count(total) != NestRunner::CountStatus::done) {
                q.interrupted();
                return false;
            }
            left_over = values_left_over(bound, total);
            return true;
        }
        if (q.cancelled()) {
            q.interrupted();
            return false;
        }
        if (!answer(values.point())) return false;
        ++listed;
    }
    if (values.beyond_64_bits()) q.overflow();
    if (values.stopped()) q.interrupted();
    return !values.beyond_64_bits() && !values.stopped();
}

// The points' text, handed to the stream in large pieces.
class PointText {
public:
    explicit PointText(std::FILE* out) : out_(out) { text_.reserve(text_piece + 256); }
    ~PointText() { flush(); }
    void point(const std::int64_t* x, unsigned n) {
        text_ += "  (";
        for (unsigned k = 0; k < n; ++k) {
            if (k) text_ += ", ";
            char digits[24];
            auto end = std::to_chars(digits, digits + sizeof digits, x[k]).ptr;
            text_.append(digits, end);
        }
        text_ += ")\n";
        if (text_.size() >= text_piece) flush();
    }
    void line(const std::string& text) { text_ += text; }
    void flush() {
        std::fwrite(text_.data(), 1, text_.size(), out_);
        text_.clear();
    }

private:
    std::FILE* out_;
    std::string text_;
};

// Every piece's runner at these values of the parameters: their points
// merged in lexicographic order (the pieces are disjoint).
class MergedPoints {
public:
    explicit MergedPoints(std::vector<NestRunner>& runners) : runners_(runners), ready_(runners.size()) {
        for (std::size_t k = 0; k < runners_.size(); ++k) ready_[k] = runners_[k].next();
    }
    // Moves to the next point; false at the end.
    bool next() {
        if (last_ != npos) ready_[last_] = runners_[last_].next();
        last_ = npos;
        for (std::size_t k = 0; k < runners_.size(); ++k)
            if (ready_[k] && (last_ == npos || before(runners_[k], runners_[last_]))) last_ = k;
        return last_ != npos;
    }
    const std::int64_t* point() const { return runners_[last_].point(); }

private:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    static bool before(const NestRunner& a, const NestRunner& b) {
        return std::lexicographical_compare(a.point(), a.point() + a.variables(), b.point(), b.point() + b.variables());
    }
    std::vector<NestRunner>& runners_;
    std::vector<char> ready_;
    std::size_t last_ = npos;
};

std::vector<NestRunner> runners_of(const PreparedQuery& q) {
    std::vector<NestRunner> runners;
    for (const LoopNest& nest : q.nests) runners.emplace_back(nest, q.watch);
    return runners;
}

bool any_beyond_64_bits(const std::vector<NestRunner>& runners) {
    return std::any_of(runners.begin(), runners.end(), [](const NestRunner& r) { return r.beyond_64_bits(); });
}

bool any_stopped(const std::vector<NestRunner>& runners) {
    return std::any_of(runners.begin(), runners.end(), [](const NestRunner& r) { return r.stopped(); });
}

// The number of points at the values the runners are fixed at (they are
// fixed again after). Tells why not when it cannot be had.
std::optional<unsigned __int128> counted(const PreparedQuery& q, std::vector<NestRunner>& runners,
                                         const std::int64_t* parameters) {
    unsigned __int128 total = 0;
    for (NestRunner& r : runners) {
        switch (r.count(total)) {
        case NestRunner::CountStatus::done: break;
        case NestRunner::CountStatus::beyond_64_bits: q.overflow(); return std::nullopt;
        case NestRunner::CountStatus::stopped:
        case NestRunner::CountStatus::over_budget: q.interrupted(); return std::nullopt;
        }
        r.fix_parameters(parameters);
    }
    return total;
}

void list_points(const PreparedQuery& q, std::uint64_t bound) {
    std::vector<NestRunner> runners = runners_of(q);
    const unsigned variables = q.nests.front().variables;
    std::string left_over;
    bool done = for_each_parameter_value(q, bound, left_over, [&](const std::int64_t* parameters) {
        for (NestRunner& r : runners) r.fix_parameters(parameters);
        std::optional<unsigned __int128> total = counted(q, runners, parameters);
        if (!total) return false;
        std::string head = "> " + heading(q, parameters) + points_text(decimal(*total));
        if (*total > bound) head += ", the first " + std::to_string(bound) + " listed";
        PointText text(q.out());
        text.line(head + "\n");
        MergedPoints points(runners);
        std::uint64_t written = 0;
        for (; written < bound && points.next(); ++written) {
            text.point(points.point(), variables);
            if ((written + 1) % points_between_looks == 0 && q.cancelled()) {
                text.flush();
                q.interrupted();
                return false;
            }
        }
        if (*total > bound) text.line("  ...\n");
        text.flush();
        if (any_beyond_64_bits(runners)) {
            q.overflow();
            return false;
        }
        if (any_stopped(runners)) {
            q.interrupted();
            return false;
        }
        return true;
    });
    if (done) std::fputs(left_over.c_str(), q.out());
}

void print_extremes(PointQuery query, const PreparedQuery& q, std::uint64_t bound) {
    std::vector<NestRunner> runners = runners_of(q);
    const unsigned variables = q.nests.front().variables;
    std::vector<std::int64_t> best(variables), x(variables);
    std::string left_over;
    bool done = for_each_parameter_value(q, bound, left_over, [&](const std::int64_t* parameters) {
        bool found = false;
        for (NestRunner& r : runners) {
            r.fix_parameters(parameters);
            bool has = false;
            if (query == PointQuery::sample) {
                if (found) break;
                has = r.sample(x.data());
            } else if (r.next(query == PointQuery::lexmax)) {
                std::copy(r.point(), r.point() + variables, x.begin());
                has = true;
            }
            bool better = query == PointQuery::lexmax ? best < x : x < best;
            if (has && (!found || better)) best = x;
            found |= has;
        }
        if (any_beyond_64_bits(runners)) {
            q.overflow();
            return false;
        }
        if (any_stopped(runners)) {
            q.interrupted();
            return false;
        }
        std::fprintf(q.out(), "> %s%s\n", heading(q, parameters).c_str(),
                     found ? tuple(best.data(), variables).c_str() : "empty");
        return true;
    });
    if (done) std::fputs(left_over.c_str(), q.out());
}

// ---- Counts ---------------------------------------------------------------------

// Lines of the worker's answer that carry a count start with this.
const char* const count_mark = "= ";
const char* const not_a_count = "?";

// The problem of a count: the disjoint pieces, the context, and the values
// of the parameters to count at.
std::string count_problem(const PreparedQuery& q, const std::vector<std::int64_t>& values, std::size_t points,
                          CountRoute route) {
    ProblemWriter problem;
    problem.number(static_cast<std::int64_t>(route));
    problem.number(static_cast<std::int64_t>(q.pieces.size()));
    // The pieces' nests hold within the context's inequalities, which the
    // worker counts in, when the context has no equality.
    const bool nests = q.context->domain->NbEq == 0;
    for (std::size_t k = 0; k < q.pieces.size(); ++k) {
        problem.polyhedron(q.pieces[k]);
        problem.number(nests);
        if (nests) write_nest(problem, q.nests[k]);
    }
    problem.number(q.parameters);
    problem.polyhedron(q.context->domain);
    problem.number(static_cast<std::int64_t>(points));
    for (std::int64_t v : values) problem.number(v);
    return problem.take();
}

// The context's inequalities alone. PolyLib counts by enumerating the
// points once the parameters are fixed, which its polynomials avoid; a
// wider context only adds validity domains.
Matrix* inequalities_of(const Polyhedron* context, unsigned parameters) {
    unsigned rows = 0;
    for (unsigned r = 0; context && r < context->NbConstraints; ++r) rows += value_notzero_p(context->Constraint[r][0]);
    Matrix* m = Matrix_Alloc(rows, parameters + 2);
    unsigned at = 0;
    for (unsigned r = 0; context && r < context->NbConstraints; ++r) {
        if (value_zero_p(context->Constraint[r][0])) continue;
        for (unsigned c = 0; c < parameters + 2; ++c) value_assign(m->p[at][c], context->Constraint[r][c]);
        ++at;
    }
    return m;
}

// Runs in the worker: each piece's checked chambers (store/chamber_counts.h)
// that hold one of the values, evaluated at each value and summed; one
// marked line per value, "?" where a piece could not be counted (the
// calculator then counts there with the loop nest).
bool count_job(const std::string& bytes) {
    ProblemReader reader(bytes);
    std::int64_t route = 0, pieces = 0, parameters = 0, points = 0;
    if (!reader.number(route) || route < 0 || route > 1) return false;
    if (!reader.count(pieces, 6 * sizeof(std::int64_t)) || pieces < 1) return false;
    std::vector<PolyhedronPtr> owned;
    std::vector<std::optional<LoopNest>> nests(static_cast<std::size_t>(pieces));
    for (std::int64_t k = 0; k < pieces; ++k) {
        owned.push_back(reader.polyhedron());
        std::int64_t nest = 0;
        if (!owned.back() || !reader.number(nest)) return false;
        if (nest && !read_nest(reader, nests[static_cast<std::size_t>(k)].emplace())) return false;
    }
    if (!reader.number(parameters) || parameters < 1) return false;
    PolyhedronPtr context = reader.polyhedron();
    if (!context) return false;
    auto p = static_cast<unsigned>(parameters);
    if (!reader.count(points, p * sizeof(std::int64_t)) || points < 0) return false;
    std::vector<std::int64_t> values(static_cast<std::size_t>(points) * p);
    for (std::int64_t& v : values) reader.number(v);

    SilencedOutput quiet;
    Polyhedron* given_context = context.get();
    Polyhedron* relaxed = nullptr;
    Matrix* inequalities = nullptr;
    bool done = polylib_guarded([&] {
        inequalities = inequalities_of(given_context, p);
        relaxed = Constraints2Polyhedron(inequalities, working_rows);
    });
    PolyhedronPtr owned_relaxed(relaxed);
    MatrixPtr owned_inequalities(inequalities);
    if (!done) return false;
    auto wanted = [&](const Polyhedron* chamber) {
        for (std::size_t k = 0; k < static_cast<std::size_t>(points); ++k)
            if (holds_values(chamber, values.data() + k * p)) return true;
        return false;
    };
    // The pieces are disjoint: their counts add up.
    std::vector<std::optional<mpq_class>> totals(static_cast<std::size_t>(points), mpq_class(0));
    std::uint64_t budget = count_check_budget;
    for (std::size_t k = 0; k < owned.size(); ++k) {
        std::optional<PieceCount> counted;
        try {
            const LoopNest* nest = nests[k] ? &*nests[k] : nullptr;
            counted = counted_chambers(owned[k].get(), relaxed, budget, wanted, static_cast<CountRoute>(route), nest);
        } catch (const CountFailure&) {
        }
        for (std::size_t k = 0; k < totals.size(); ++k) {
            if (!totals[k]) continue;
            if (!counted) {
                totals[k].reset();
                continue;
            }
            const std::int64_t* at = values.data() + k * p;
            for (const Chamber& c : counted->chambers)
                if (holds_values(c.domain.get(), at)) {
                    *totals[k] += c.count.at(std::vector<long>(at, at + p));
                    break;
                }
        }
    }
    quiet.restore();
    for (const std::optional<mpq_class>& total : totals) {
        bool whole = total && total->get_den() == 1 && *total >= 0;
        std::printf("%s%s\n", count_mark, whole ? total->get_num().get_str().c_str() : not_a_count);
    }
    return true;
}

std::vector<std::string> marked_counts(const std::string& output) {
    std::vector<std::string> counts;
    std::size_t start = 0;
    const std::size_t mark = std::strlen(count_mark);
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        if (output.compare(start, mark, count_mark) == 0) counts.push_back(output.substr(start + mark, end - start - mark));
        start = end + 1;
    }
    return counts;
}

// The number of points at these values, counted by the nests, each piece
// with a dilation's few small counts when it is one (without parameters).
// Tells why not when it cannot be had.
std::optional<std::string> nest_count(const PreparedQuery& q, const std::int64_t* at, std::uint64_t* budget = nullptr) {
    mpz_class total = 0;
    for (std::size_t k = 0; k < q.nests.size(); ++k) {
        if (q.parameters == 0 && !q.pieces.empty() && !budget)
            if (std::optional<mpz_class> c = count_by_dilation(q.pieces[k], q.nests[k], dilation_budget)) {
                total += *c;
                continue;
            }
        NestRunner r(q.nests[k], q.watch);
        r.fix_parameters(at);
        unsigned __int128 n = 0;
        switch (r.count(n, budget)) {
        case NestRunner::CountStatus::done: break;
        case NestRunner::CountStatus::beyond_64_bits: if (!budget) q.overflow(); return std::nullopt;
        case NestRunner::CountStatus::over_budget: return std::nullopt;
        case NestRunner::CountStatus::stopped: q.interrupted(); return std::nullopt;
        }
        total += mpz_class(decimal(n));
    }
    return total.get_str();
}

// The first byte of the isl answer's line when it is a failure, told by the
// rest of the line.
const char failure_mark = '\x01';

// The problem of the counting function: the disjoint pieces, the context
// and its parameters' names.
std::string isl_count_problem(const PreparedQuery& q, CountRoute route) {
    ProblemWriter problem;
    problem.number(static_cast<std::int64_t>(route));
    problem.number(static_cast<std::int64_t>(q.pieces.size()));
    for (const Polyhedron* p : q.pieces) problem.polyhedron(p);
    problem.polyhedron(q.context->domain);
    problem.number(static_cast<std::int64_t>(q.parameter_names.size()));
    for (const std::string& name : q.parameter_names) problem.text(name);
    return problem.take();
}

// Runs in the worker: the union's checked chambers (store/chamber_counts.h)
// as one piecewise quasi-polynomial in isl's notation.
bool isl_count_job(const std::string& bytes) {
    ProblemReader reader(bytes);
    std::int64_t route = 0, pieces = 0, names = 0;
    if (!reader.number(route) || route < 0 || route > 1) return false;
    if (!reader.count(pieces, 6 * sizeof(std::int64_t)) || pieces < 0) return false;
    std::vector<PolyhedronPtr> owned;
    for (std::int64_t k = 0; k < pieces; ++k) {
        owned.push_back(reader.polyhedron());
        if (!owned.back()) return false;
    }
    PolyhedronPtr context = reader.polyhedron();
    if (!context || !reader.count(names, sizeof(std::int64_t))) return false;
    std::vector<std::string> parameter_names(static_cast<std::size_t>(names));
    for (std::string& name : parameter_names)
        if (!reader.text(name)) return false;
    std::vector<const Polyhedron*> list;
    for (const PolyhedronPtr& p : owned) list.push_back(p.get());
    SilencedOutput quiet;
    std::uint64_t budget = count_check_budget;
    std::optional<std::string> text;
    std::string failure;
    try {
        text = isl_count_text(union_chambers(list, context.get(), budget, {}, static_cast<CountRoute>(route)),
                              parameter_names);
        if (!text) failure = "isl did not take its quasi-polynomials";
    } catch (const CountFailure& f) {
        failure = f.reason;
    }
    quiet.restore();
    if (text)
        std::printf("> %s\n", text->c_str());
    else
        std::printf("%c%s\n", failure_mark, failure.c_str());
    return true;
}

// With a context of infinitely many values: the counting function of the
// parameters, in isl's notation.
void print_counting_function(const PreparedQuery& q) {
    std::fflush(q.out());
    std::string what = "the counting function of '" + q.entry->name + "'";
    ContainedResult result = run_count_routes(
        isl_count_job, [&](CountRoute route) { return isl_count_problem(q, route); }, q.time_limit, q.cancel);
    if (result.outcome != ContainedOutcome::Finished) {
        report_error(*q.report, contained_failure_message(result, what, q.time_limit));
        return;
    }
    if (result.output.empty()) {
        q.polylib_failed();
        return;
    }
    if (result.output[0] == failure_mark) {
        q.fail(what + ": " + result.output.substr(1, result.output.find('\n') - 1));
        return;
    }
    std::fwrite(result.output.data(), 1, result.output.size(), q.out());
}

void print_counts(const PreparedQuery& q, std::uint64_t bound) {
    if (q.context_unbounded) {
        print_counting_function(q);
        return;
    }
    std::vector<std::int64_t> values;
    std::size_t listed = 0;
    std::string left_over;
    bool collected = for_each_parameter_value(q, bound, left_over, [&](const std::int64_t* parameters) {
        values.insert(values.end(), parameters, parameters + q.parameters);
        ++listed;
        return true;
    });
    if (!collected) return;
    std::vector<std::string> counts(listed, not_a_count);
    // Few points in all: the nests count them sooner than the worker is asked.
    bool counted = q.pieces.empty();
    if (q.parameters > 0 && !counted) {
        std::uint64_t budget = direct_count_budget;
        counted = true;
        for (std::size_t k = 0; k < listed && counted; ++k) {
            std::optional<std::string> n = nest_count(q, values.data() + k * q.parameters, &budget);
            if (n) counts[k] = *n;
            counted = n.has_value();
        }
        if (q.cancelled()) {
            q.interrupted();
            return;
        }
    }
    if (q.pieces.empty()) {
        counts.assign(listed, "0");
    } else if (q.parameters > 0 && !counted) {
        // The worker counts at all the values at once, from quasi-polynomials
        // checked chamber by chamber.
        std::fflush(q.out());
        ContainedResult result = run_count_routes(
            count_job, [&](CountRoute route) { return count_problem(q, values, listed, route); }, q.time_limit,
            q.cancel);
        if (result.outcome == ContainedOutcome::Cancelled || result.outcome == ContainedOutcome::TimedOut) {
            report_error(*q.report, contained_failure_message(result, q.what, q.time_limit));
            return;
        }
        // Where the worker gave no count, the nests count below.
        if (result.outcome == ContainedOutcome::Finished) counts = marked_counts(result.output);
        if (counts.size() != listed) counts.assign(listed, not_a_count);
        // A sample of the answers, counted again by the nests while cheap.
        std::uint64_t budget = sample_budget;
        for (std::size_t k : {std::size_t{0}, listed - 1}) {
            if (counts[k] == not_a_count) continue;
            const std::int64_t* at = values.data() + k * q.parameters;
            std::optional<std::string> counted = nest_count(q, at, &budget);
            if (counted && *counted != counts[k]) {
                q.fail("the Ehrhart polynomial of '" + q.entry->name + "' gives " + counts[k] + " points at " +
                       parameter_values(q, at) + " where there are " + *counted);
                return;
            }
        }
    }
    // Where no checked quasi-polynomial counts, the nests count.
    for (std::size_t k = 0; k < listed; ++k) {
        if (counts[k] != not_a_count) continue;
        std::optional<std::string> counted = nest_count(q, values.data() + k * q.parameters);
        if (!counted) return;
        counts[k] = *counted;
    }
    std::string text;
    for (std::size_t k = 0; k < listed; ++k)
        text += "> " + heading(q, values.data() + k * q.parameters) + points_text(counts[k]) + "\n";
    std::fputs(text.c_str(), q.out());
    std::fputs(left_over.c_str(), q.out());
}

}  // namespace

void answer_point_query(StoreSession& session, const PointQuestion& question, DomainEntry* list) {
    const QueryKind& kind = kind_of(question.query);
    if (question.bound == 0) {
        refuse(session.report, kind, "the listing bound must be at least 1");
        return;
    }
    WorkDeadline watch(session.reader, session.analysis_time_limit);
    bool extreme = question.query == PointQuery::lexmin || question.query == PointQuery::lexmax;
    bool parametric = extreme || question.query == PointQuery::card;
    std::optional<PreparedQuery> q =
        prepare(session, watch, kind, question.domain_name, question.context_name, list, parametric);
    if (!q) return;
    if (extreme && (question.isl_form || q->context_unbounded)) {
        ExtremesRequest request;
        request.maximum = question.query == PointQuery::lexmax;
        request.isl_form = question.isl_form;
        request.domain = q->entry->domain;
        request.context = q->context->domain;
        request.names = var_names_array(q->entry->vars);
        request.names.resize(q->nests.front().variables);
        request.names.insert(request.names.end(), q->parameter_names.begin(), q->parameter_names.end());
        request.parameters = q->parameters;
        request.nests = &q->nests;
        request.what = std::string("the parametric lexicographic ") + (request.maximum ? "maximum" : "minimum") +
                       " of '" + question.domain_name + "'";
        DomainUnlock unlocked;
        answer_parametric_extremes(session.report, request, watch);
        return;
    }
    if (question.query == PointQuery::card) {
        print_counts(*q, question.bound);
        return;
    }
    // The nests are the query's own and the loops call no PolyLib: the
    // viewer may take domain_lock meanwhile (only this thread deletes entries).
    DomainUnlock unlocked;
    if (question.query == PointQuery::points)
        list_points(*q, question.bound);
    else
        print_extremes(question.query, *q, question.bound);
}

void print_codegen(StoreSession& session, const std::string& domain_name, const std::string& context_name,
                   DomainEntry* list) {
    WorkDeadline watch(session.reader, session.analysis_time_limit);
    std::optional<PreparedQuery> q = prepare(session, watch, codegen_kind, domain_name, context_name, list);
    if (!q) return;
    CodeNames names{var_names_array(q->entry->vars), q->parameter_names};
    names.variables.resize(q->nests.front().variables);
    if (auto problem = code_names_problem(names)) {
        refuse(session.report, codegen_kind, *problem);
        return;
    }
    std::vector<const LoopNest*> pieces;
    for (const LoopNest& nest : q->nests)
        if (!nest.empty) pieces.push_back(&nest);
    if (pieces.empty())
        std::fputs("/* no integer point */\n", q->out());
    else
        print_nest_code(q->out(), pieces, names);
}
