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

namespace {

constexpr unsigned working_rows = 100;
// Levels the counts of a statement may enter to check the Ehrhart counts.
constexpr std::uint64_t count_check_budget = std::uint64_t{1} << 22;
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

std::optional<PreparedQuery> prepare(StoreSession& session, WorkDeadline& watch, const QueryKind& kind,
                                     const std::string& domain_name, const std::string& context_name,
                                     DomainEntry* list) {
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
        if (!bounded_for_fixed_parameters(context, 0, failed) && !failed) {
            refuse(report, kind, "context '" + context_name + "' is unbounded" + kind.unbounded_context);
            return std::nullopt;
        }
        if (failed) {
            q.polylib_failed();
            return std::nullopt;
        }
        if (!nest_ready(kind, q, build_loop_nest(context, nullptr, q.context_nest))) return std::nullopt;
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

// ---- Counts from the Ehrhart quasi-polynomial ---------------------------------

// Lines of the worker's answer that carry a count start with this.
const char* const count_mark = "= ";
const char* const not_a_count = "?";

bool inside(const Polyhedron* domain, const std::int64_t* values) {
    for (const Polyhedron* p = domain; p; p = p->next) {
        bool holds = true;
        for (unsigned r = 0; r < p->NbConstraints && holds; ++r) {
            const Value* row = p->Constraint[r];
            __int128 sum = value_of(row[p->Dimension + 1]);
            for (unsigned c = 0; c < p->Dimension; ++c)
                if (__builtin_add_overflow(sum, static_cast<__int128>(value_of(row[c + 1])) * values[c], &sum)) return false;
            holds = value_zero_p(row[0]) ? sum == 0 : sum >= 0;
        }
        if (holds) return true;
    }
    return false;
}

// The exact value of PolyLib's quasi-polynomial: a polynomial in one
// parameter with quasi-polynomial coefficients, or a periodic number whose
// value at N is its element N modulo its period.
std::optional<mpq_class> evaluated(const evalue& e, const std::int64_t* values, unsigned parameters) {
    if (value_notzero_p(e.d)) {
        mpq_class q(mpz_class(value_of(e.x.n)), mpz_class(value_of(e.d)));
        q.canonicalize();
        return q;
    }
    const enode* node = e.x.p;
    if (!node || node->size < 1) return std::nullopt;
    // A constant is a polynomial of one term, whatever parameter it names.
    if (node->size == 1 && node->type != evector) return evaluated(node->arr[0], values, parameters);
    if (node->pos < 1 || static_cast<unsigned>(node->pos) > parameters) return std::nullopt;
    std::int64_t x = values[node->pos - 1];
    if (node->type == periodic) {
        std::int64_t index = ((x % node->size) + node->size) % node->size;
        return evaluated(node->arr[index], values, parameters);
    }
    if (node->type != polynomial) return std::nullopt;
    mpq_class sum = 0;
    for (int k = node->size - 1; k >= 0; --k) {
        std::optional<mpq_class> coefficient = evaluated(node->arr[k], values, parameters);
        if (!coefficient) return std::nullopt;
        sum = sum * mpq_class(mpz_class(x)) + *coefficient;
    }
    return sum;
}

// The count of one piece at one value of the parameters: the polynomial of
// the validity domain that holds it (0 when none does); every domain that
// holds it must agree. Nothing when they do not, or a value is not PolyLib's.
std::optional<mpq_class> count_at(const Enumeration* result, const std::int64_t* values, unsigned parameters) {
    std::optional<mpq_class> count;
    for (const Enumeration* en = result; en; en = en->next) {
        if (!inside(en->ValidityDomain, values)) continue;
        std::optional<mpq_class> value = evaluated(en->EP, values, parameters);
        if (!value || (count && *count != *value)) return std::nullopt;
        count = value;
    }
    return count ? count : mpq_class(0);
}

// The problem of a count: the disjoint pieces, the context (when there
// are parameters), and the values of the parameters to count at.
std::string count_problem(const PreparedQuery& q, const std::vector<std::int64_t>& values, std::size_t points) {
    ProblemWriter problem;
    problem.number(static_cast<std::int64_t>(q.pieces.size()));
    for (const Polyhedron* p : q.pieces) problem.polyhedron(p);
    problem.number(q.parameters);
    if (q.parameters > 0) problem.polyhedron(q.context->domain);
    problem.number(static_cast<std::int64_t>(points));
    for (std::int64_t v : values) problem.number(v);
    return problem.take();
}

// The context's inequalities alone (none without parameters). PolyLib
// counts by enumerating the points once the parameters are fixed, which its
// polynomials avoid; a wider context only adds validity domains.
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

// Runs in the worker: PolyLib's enumeration of each piece, evaluated at each
// value and summed; one marked line per value. (PolyLib's own sum over a
// union, Domain_Enumerate, can miscount pieces of different lattices.)
bool count_job(const std::string& bytes) {
    ProblemReader reader(bytes);
    std::int64_t pieces = 0, parameters = 0, points = 0;
    if (!reader.count(pieces, 6 * sizeof(std::int64_t)) || pieces < 1) return false;
    std::vector<PolyhedronPtr> owned;
    for (std::int64_t k = 0; k < pieces; ++k) {
        owned.push_back(reader.polyhedron());
        if (!owned.back()) return false;
    }
    PolyhedronPtr context;
    if (!reader.number(parameters) || parameters < 0) return false;
    if (parameters > 0 && !(context = reader.polyhedron())) return false;
    auto p = static_cast<unsigned>(parameters);
    bool read = p > 0 ? reader.count(points, p * sizeof(std::int64_t)) : reader.number(points);
    if (!read || points < 0) return false;
    std::vector<std::int64_t> values(static_cast<std::size_t>(points) * p);
    for (std::int64_t& v : values) reader.number(v);

    // The pieces are disjoint: their counts add up.
    std::vector<std::optional<mpq_class>> totals(static_cast<std::size_t>(points), mpq_class(0));
    Polyhedron* given_context = context.get();
    Polyhedron* relaxed = nullptr;
    Matrix* inequalities = nullptr;
    bool done = polylib_guarded([&] {
        inequalities = inequalities_of(given_context, p);
        relaxed = Constraints2Polyhedron(inequalities, working_rows);
    });
    for (std::size_t piece = 0; piece < owned.size() && done; ++piece) {
        Polyhedron* polyhedron = owned[piece].get();
        Enumeration* result = nullptr;
        done = polylib_guarded([&] { result = Polyhedron_Enumerate(polyhedron, relaxed, working_rows, nullptr); });
        for (std::size_t k = 0; done && k < totals.size(); ++k) {
            std::optional<mpq_class> count = count_at(result, values.data() + k * p, p);
            if (!count || !totals[k])
                totals[k].reset();
            else
                *totals[k] += *count;
        }
        polylib_guarded([&] {
            if (result) Enumeration_Free(result);
        });
    }
    polylib_guarded([&] {
        if (relaxed) Polyhedron_Free(relaxed);
        if (inequalities) Matrix_Free(inequalities);
    });
    if (!done) return false;
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

void print_counts(const PreparedQuery& q, std::uint64_t bound) {
    // The values first: the worker counts at all of them at once.
    std::vector<std::int64_t> values;
    std::size_t listed = 0;
    std::string left_over;
    bool collected = for_each_parameter_value(q, bound, left_over, [&](const std::int64_t* parameters) {
        values.insert(values.end(), parameters, parameters + q.parameters);
        ++listed;
        return true;
    });
    if (!collected) return;
    std::vector<std::string> counts(listed, "0");
    if (!q.pieces.empty()) {
        std::fflush(q.out());
        ContainedResult result = run_in_worker(count_job, count_problem(q, values, listed), q.time_limit, q.cancel);
        if (result.outcome != ContainedOutcome::Finished) {
            report_error(*q.report, contained_failure_message(result, q.what, q.time_limit));
            return;
        }
        counts = marked_counts(result.output);
    }
    if (counts.size() != listed) {
        q.polylib_failed();
        return;
    }
    // Checked against the nests' own counts while that stays cheap.
    std::vector<NestRunner> runners = runners_of(q);
    std::uint64_t budget = count_check_budget;
    for (std::size_t k = 0; k < listed; ++k) {
        const std::int64_t* at = values.data() + k * q.parameters;
        std::string where = q.parameters > 0 ? " at " + parameter_values(q, at) : "";
        if (counts[k] == not_a_count) {
            q.fail("the Ehrhart polynomial of '" + q.entry->name + "' gives no whole number of points" + where);
            return;
        }
        unsigned __int128 total = 0;
        bool checked = budget > 0;
        for (NestRunner& r : runners) {
            if (!checked) break;
            r.fix_parameters(at);
            NestRunner::CountStatus status = r.count(total, &budget);
            if (status == NestRunner::CountStatus::stopped) {
                q.interrupted();
                return;
            }
            checked = status == NestRunner::CountStatus::done;
        }
        if (checked && decimal(total) != counts[k]) {
            q.fail("the Ehrhart polynomial of '" + q.entry->name + "' gives " + counts[k] + " points" + where +
                   " where there are " + decimal(total));
            return;
        }
    }
    for (std::size_t k = 0; k < listed; ++k)
        std::fprintf(q.out(), "> %s%s\n", heading(q, values.data() + k * q.parameters).c_str(),
                     points_text(counts[k]).c_str());
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
    std::optional<PreparedQuery> q = prepare(session, watch, kind, question.domain_name, question.context_name, list);
    if (!q) return;
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
