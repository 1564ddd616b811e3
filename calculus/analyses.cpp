// Ehrhart enumeration, parametric vertices and raw matrices, printed with
// PolyLib's own printers. The parametric analyses run in the analysis worker,
// a child process: Polyhedron_Enumerate ends the process through a failed
// assert on overflow. A union is counted as a whole and its vertices are
// given piece by piece.
#include "calculus/analyses.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

extern "C" {
#include <polylib/ext_ehrhart.h>
}

#include "base/error_report.h"
#include "worker/analysis_worker.h"
#include "calculus/disjoint_decomposition.h"
#include "calculus/exact_check.h"
#include "calculus/quasi_polynomial.h"
#include "worker/worker_problem.h"
#include "worker/work_space.h"

namespace {

const char* const ehrhart_separator = "\n-----------------------------------\n";
const char* const vertices_separator = "---------------------------------------\n";
constexpr unsigned bits_per_word = 32;

struct AnalysisKind {
    const char* label;   // "Ehrhart" or "Vertices", as in the messages
    const char* what;    // names the work in failure messages
    bool needs_bounded_domain;   // otherwise a domain without a line is enough
};

const AnalysisKind ehrhart_kind = {"Ehrhart", "the Ehrhart polynomial of", true};
const AnalysisKind vertices_kind = {"Vertices", "the parametric vertices of", false};

// What the worker needs: the domain (a union), the context domain (the
// zero-dimensional universe for a context without variables), the parameter
// names, and the domain's name for the headers of a union's vertices.
struct AnalysisInput {
    Polyhedron* domain;
    Polyhedron* context;
    PolyhedronPtr universe_context;
    std::vector<std::string> names;
    std::vector<const char*> name_pointers;   // into `names`, made where the input no longer moves
    std::string domain_name;

    const char** parameter_names() {
        if (name_pointers.empty()) name_pointers = c_names(names);
        return name_pointers.empty() ? nullptr : name_pointers.data();
    }
};

bool vertex_in_domain(const unsigned* vertex_set, unsigned i) {
    unsigned bit = 1u << (bits_per_word - 1 - i % bits_per_word);
    return (vertex_set[i / bits_per_word] & bit) != 0;
}

int union_size(const Polyhedron* domain) {
    int n = 0;
    for (const Polyhedron* p = domain; p; p = p->next) ++n;
    return n;
}

std::size_t union_rows(const Polyhedron* domain) {
    std::size_t rows = 0;
    for (const Polyhedron* p = domain; p; p = p->next) rows += p->NbConstraints + p->NbRays;
    return rows;
}

bool all_empty(const Polyhedron* domain) {
    for (const Polyhedron* p = domain; p; p = p->next)
        if (!emptyQ(p)) return false;
    return true;
}

void refuse(StatementReport& report, const AnalysisKind& kind, const std::string& reason) {
    note_refusal(report);
    std::fprintf(report.out, "> %s : %s - command ignored\n", kind.label, reason.c_str());
}

// A context without variables stands for "no parameters": the language can
// only declare it as the empty { | }, and PolyLib would then find no vertex.
std::optional<PolyhedronPtr> universe_without_parameters() {
    Polyhedron* universe = nullptr;
    if (!polylib_guarded([&] { universe = Universe_Polyhedron(0); })) return std::nullopt;
    return PolyhedronPtr(universe);
}

// The directions y with (y, 0) in the recession cone of the polyhedron (or in
// its lineality space when `lines_only`): zero parameter components, every
// constraint's linear part >= 0 (= 0 for lines). True when y = 0 is the only
// one. Computed exactly here, so that no wrapped value decides what PolyLib
// is then given; `failed` is kept for callers of a fallible computation.
bool only_zero_direction(const Polyhedron* polyhedron, unsigned parameters, bool lines_only, bool& failed) {
    unsigned dimension = polyhedron->Dimension;
    ConeConstraints directions;
    for (unsigned r = 0; r < polyhedron->NbConstraints; ++r) {
        const Value* row = polyhedron->Constraint[r];
        ExactRow linear(dimension + 1, 0);
        for (unsigned c = 0; c < dimension; ++c) linear[c] = exact_number(row[c + 1]);
        bool equality = lines_only || value_zero_p(row[0]);
        (equality ? directions.equalities : directions.inequalities).push_back(std::move(linear));
    }
    for (unsigned k = 0; k < parameters; ++k) {
        ExactRow fixed(dimension + 1, 0);
        fixed[dimension - parameters + k] = 1;
        directions.equalities.push_back(std::move(fixed));
    }
    failed = false;
    ExactSet cone = exact_set_from_constraints(dimension + 1, std::move(directions));
    auto moves = [&](const ExactRow& g) {
        for (unsigned c = 0; c < dimension; ++c)
            if (g[c] != 0) return true;
        return false;
    };
    const ConeGenerators& g = cone.generators;
    return std::none_of(g.lines.begin(), g.lines.end(), moves) && std::none_of(g.rays.begin(), g.rays.end(), moves);
}

// An infinite count has no Ehrhart polynomial, and a polyhedron that holds a
// whole line has no vertex (PolyLib would still print one).
std::optional<std::string> domain_problem(const AnalysisKind& kind, const DomainEntry& entry,
                                          const DomainEntry& context, bool& failed) {
    unsigned parameters = context.domain->Dimension;
    for (const Polyhedron* piece = entry.domain; piece && !failed; piece = piece->next) {
        if (emptyQ(piece)) continue;
        if (kind.needs_bounded_domain) {
            if (!bounded_for_fixed_parameters(piece, parameters, failed) && !failed)
                return "domain '" + entry.name + "' has infinitely many points for some values of the parameters of '" +
                       context.name + "'";
        } else if (has_line_for_fixed_parameters(piece, parameters, failed) && !failed) {
            return "domain '" + entry.name + "' holds a whole line for fixed values of the parameters of '" +
                   context.name + "': it has no vertex";
        }
    }
    return std::nullopt;
}

// Checks the request and gathers what the worker needs; prints why not otherwise.
std::optional<AnalysisInput> prepare_analysis(StatementReport& report, const AnalysisKind& kind,
                                              const DomainEntry& entry, const DomainEntry& context) {
    if (auto problem = context_problem(entry, context)) {
        refuse(report, kind, *problem);
        return std::nullopt;
    }
    std::string what = std::string(kind.what) + " '" + entry.name + "'";
    if (auto problem = work_space_problem(entry.domain->Dimension, union_rows(entry.domain))) {
        report_error(report, what + " " + *problem + " - command ignored");
        return std::nullopt;
    }
    bool failed = false;
    std::optional<std::string> problem = domain_problem(kind, entry, context, failed);
    if (failed) {
        report_polylib_failure(report, what);
        return std::nullopt;
    }
    if (problem) {
        refuse(report, kind, *problem);
        return std::nullopt;
    }
    AnalysisInput input{entry.domain, context.domain, nullptr, var_names_array(context.vars), {}, entry.name};
    if (context.domain->Dimension == 0) {
        auto universe = universe_without_parameters();
        if (!universe) {
            report_polylib_failure(report, std::string(kind.what) + " '" + entry.name + "'");
            return std::nullopt;
        }
        input.universe_context = std::move(*universe);
        input.context = input.universe_context.get();
    }
    return input;
}

void print_enumeration(Enumeration* result, const char** names) {
    for (Enumeration* en = result; en; en = en->next) {
        Print_Domain(stdout, en->ValidityDomain, names);
        print_evalue(stdout, &en->EP, names);
        std::fputs(ehrhart_separator, stdout);
    }
}

// A chamber of a union's count: parameter values where one quasi-polynomial
// holds.
struct Chamber {
    PolyhedronPtr domain;   // one polyhedron over the parameters
    QuasiPolynomial count;
};

// Thrown when PolyLib failed inside one of the calls below, or a sum left
// what a quasi-polynomial here holds.
struct ChamberFailure {};

// One PolyLib call at a time under its exception handler, so that no C++
// object lives across PolyLib's longjmp.
template <class Work>
void guarded(Work work) {
    if (!polylib_guarded(std::move(work))) throw ChamberFailure{};
}

// Appends each non-empty polyhedron of `domain` (owned) with `count`.
void add_chambers(std::vector<Chamber>& chambers, Polyhedron* domain, const QuasiPolynomial& count) {
    DomainPtr pieces(domain);
    for (Polyhedron* p = pieces.get(); p; p = p->next) {
        bool empty = false;
        Polyhedron* copy = nullptr;
        guarded([&] {
            empty = emptyQ(p);
            if (!empty) copy = Polyhedron_Copy(p);
        });
        if (!empty) chambers.push_back({PolyhedronPtr(copy), count});
    }
}

// The union of the chambers' domains.
DomainPtr chamber_union(const std::vector<Chamber>& chambers, unsigned parameters) {
    Polyhedron* all = nullptr;
    guarded([&] { all = Empty_Polyhedron(parameters); });
    DomainPtr owned(all);
    for (const Chamber& c : chambers) {
        Polyhedron* bigger = nullptr;
        guarded([&] { bigger = DomainUnion(owned.get(), c.domain.get(), 100); });
        owned.reset(bigger);
    }
    return owned;
}

Polyhedron* guarded_intersection(const Polyhedron* a, const Polyhedron* b) {
    Polyhedron* result = nullptr;
    guarded([&] { result = DomainIntersection(const_cast<Polyhedron*>(a), const_cast<Polyhedron*>(b), 100); });
    return result;
}

Polyhedron* guarded_difference(const Polyhedron* a, const Polyhedron* b) {
    Polyhedron* result = nullptr;
    guarded([&] { result = DomainDifference(const_cast<Polyhedron*>(a), const_cast<Polyhedron*>(b), 100); });
    return result;
}

// Adds one piece's chambers to those of the pieces before it: where both
// count, the sum; where only one does, its own count.
std::vector<Chamber> refine_chambers(const std::vector<Chamber>& chambers, const std::vector<Chamber>& piece,
                                     unsigned parameters) {
    std::vector<Chamber> refined;
    DomainPtr piece_cover = chamber_union(piece, parameters);
    DomainPtr old_cover = chamber_union(chambers, parameters);
    for (const Chamber& c : chambers) {
        for (const Chamber& e : piece) {
            std::optional<QuasiPolynomial> sum = QuasiPolynomial::sum(c.count, e.count);
            if (!sum) throw ChamberFailure{};
            add_chambers(refined, guarded_intersection(c.domain.get(), e.domain.get()), *sum);
        }
        add_chambers(refined, guarded_difference(c.domain.get(), piece_cover.get()), c.count);
    }
    for (const Chamber& e : piece) add_chambers(refined, guarded_difference(e.domain.get(), old_cover.get()), e.count);
    return refined;
}

// One piece's chambers, as PolyLib enumerates it.
std::vector<Chamber> piece_chambers(const Polyhedron* piece, Polyhedron* context) {
    Enumeration* result = nullptr;
    guarded([&] {
        Polyhedron* copy = Polyhedron_Copy(const_cast<Polyhedron*>(piece));
        result = Polyhedron_Enumerate(copy, context, 100, nullptr);
        Polyhedron_Free(copy);
    });
    std::unique_ptr<Enumeration, void (*)(Enumeration*)> owned(result, [](Enumeration* e) { Enumeration_Free(e); });
    std::vector<Chamber> own;
    for (Enumeration* en = result; en; en = en->next) {
        std::optional<QuasiPolynomial> count = QuasiPolynomial::from_evalue(en->EP, context->Dimension);
        if (!count) throw ChamberFailure{};
        Polyhedron* validity = nullptr;
        guarded([&] { validity = Domain_Copy(en->ValidityDomain); });
        add_chambers(own, validity, *count);
    }
    return own;
}

// The single parameter value of a chamber that holds only one, or nothing.
std::optional<std::vector<long>> single_value(const Polyhedron* chamber) {
    unsigned dimension = chamber->Dimension;
    if (dimension == 0 || chamber->NbEq != dimension || chamber->NbRays != 1) return std::nullopt;
    const Value* ray = chamber->Ray[0];
    std::int64_t denominator = value_of(ray[dimension + 1]);
    if (denominator == 0) return std::nullopt;
    std::vector<long> point(dimension);
    for (unsigned k = 0; k < dimension; ++k) {
        std::int64_t coordinate = value_of(ray[k + 1]);
        if (coordinate % denominator) return std::vector<long>{};   // no integer value
        point[k] = coordinate / denominator;
    }
    return point;
}

// Chambers as they read best: one that holds a single parameter value gives
// the count there (a polynomial fitted through one point says no more), one
// without an integer value goes, and so does one that the others cover
// (where chambers overlap their counts agree).
std::vector<Chamber> simplified_chambers(std::vector<Chamber> chambers, unsigned parameters) {
    std::vector<Chamber> kept;
    for (Chamber& c : chambers) {
        std::optional<std::vector<long>> point = single_value(c.domain.get());
        if (point && point->empty()) continue;
        if (point) c.count = QuasiPolynomial::constant(parameters, c.count.at(*point));
        kept.push_back(std::move(c));
    }
    for (std::size_t k = kept.size(); k-- > 0;) {
        DomainPtr cover;
        {
            Polyhedron* all = nullptr;
            guarded([&] { all = Empty_Polyhedron(parameters); });
            cover.reset(all);
        }
        for (std::size_t o = 0; o < kept.size(); ++o) {
            if (o == k) continue;
            Polyhedron* bigger = nullptr;
            guarded([&] { bigger = DomainUnion(cover.get(), kept[o].domain.get(), 100); });
            cover.reset(bigger);
        }
        DomainPtr rest(guarded_difference(kept[k].domain.get(), cover.get()));
        bool covered = true;
        for (Polyhedron* p = rest.get(); p && covered; p = p->next) guarded([&] { covered = emptyQ(p); });
        if (covered && kept.size() > 1) kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(k));
    }
    return kept;
}

// A union's points counted once each: the union is made of pairwise
// disjoint pieces (checked exactly against the union), each piece is
// enumerated on its own and the counts are added chamber by chamber.
// (PolyLib's Domain_Enumerate, and its addition of quasi-polynomials,
// miscount pieces whose periodic parts have different periods.)
bool enumerate_union_and_print(AnalysisInput& input) {
    DomainPtr pieces;
    try {
        pieces = sound_disjoint_domain(input.domain);
        std::vector<ExactSet> inside;
        for (const Polyhedron* p = input.domain; p; p = p->next) inside.push_back(exact_set_of(p));
        if (!exact_pieces_inside(pieces.get(), inside, {})) return false;
    } catch (const DecompositionFailure&) {
        return false;
    }
    const char** names = input.parameter_names();
    std::vector<Chamber> chambers;
    try {
        for (const Polyhedron* piece = pieces.get(); piece; piece = piece->next)
            chambers = refine_chambers(chambers, piece_chambers(piece, input.context), input.context->Dimension);
        chambers = simplified_chambers(std::move(chambers), input.context->Dimension);
    } catch (const ChamberFailure&) {
        return false;
    }
    for (Chamber& c : chambers) {
        std::optional<evalue> count = c.count.to_evalue();
        if (!count) return false;
        bool printed = polylib_guarded([&] {
            Print_Domain(stdout, c.domain.get(), names);
            print_evalue(stdout, &*count, names);
            std::fputs(ehrhart_separator, stdout);
        });
        free_evalue_refs(&*count);
        if (!printed) return false;
    }
    return true;
}

// Runs in the worker: PolyLib's enumeration, printed domain by domain.
bool enumerate_and_print(AnalysisInput& input) {
    if (input.domain->next) return enumerate_union_and_print(input);
    Polyhedron* polyhedron = input.domain;
    Polyhedron* context = input.context;
    const char** names = input.parameter_names();
    return polylib_guarded([&] {
        Polyhedron* copy = Polyhedron_Copy(polyhedron);
        Enumeration* result = Polyhedron_Enumerate(copy, context, 100, nullptr);
        print_enumeration(result, names);
        Enumeration_Free(result);
        Polyhedron_Free(copy);
    });
}

// Runs in the worker: PolyLib's parametric vertices, printed domain by
// domain; for a union, polyhedron by polyhedron under a header naming it.
bool decompose_and_print(AnalysisInput& input) {
    Polyhedron* context = input.context;
    const char** names = input.parameter_names();
    int pieces = union_size(input.domain), number = 0;
    for (Polyhedron* polyhedron = input.domain; polyhedron; polyhedron = polyhedron->next) {
        if (pieces > 1)
            std::printf("> Polyhedron %d of %d of '%s':\n", ++number, pieces, input.domain_name.c_str());
        bool done = polylib_guarded([&] {
            Polyhedron* copy = Polyhedron_Copy(polyhedron);
            Param_Polyhedron* result = Polyhedron2Param_Domain(copy, context, 100);
            if (result) {
                print_parametric_vertices(result, names);
                Param_Polyhedron_Free(result);
            }
            Polyhedron_Free(copy);
        });
        if (!done) return false;
    }
    return true;
}

// ---- The problem as the worker receives it ----------------------------------
// Every field of each polyhedron as PolyLib made it, rows included, so that
// the worker computes on the very same polyhedra (rebuilt from constraints
// alone, they could list them in another order, and the output with them).

std::string problem_of(const AnalysisInput& input) {
    ProblemWriter problem;
    problem.text(input.domain_name);
    problem.number(union_size(input.domain));
    for (const Polyhedron* p = input.domain; p; p = p->next) problem.polyhedron(p);
    problem.polyhedron(input.context);
    problem.number(static_cast<std::int64_t>(input.names.size()));
    for (const std::string& name : input.names) problem.text(name);
    return problem.take();
}

// The worker's own copy of the problem, which the input points into.
struct ReceivedProblem {
    DomainPtr domain;
    PolyhedronPtr context;
    AnalysisInput input;
};

std::optional<ReceivedProblem> read_problem(const std::string& bytes) {
    ProblemReader reader(bytes);
    ReceivedProblem received{nullptr, nullptr, AnalysisInput{nullptr, nullptr, nullptr, {}, {}, {}}};
    std::int64_t pieces = 0;
    if (!reader.text(received.input.domain_name) || !reader.count(pieces, 6 * sizeof(std::int64_t))) return std::nullopt;
    Polyhedron** tail = &received.input.domain;
    for (std::int64_t k = 0; k < pieces; ++k) {
        PolyhedronPtr piece = reader.polyhedron();
        if (!piece) return std::nullopt;
        *tail = piece.release();
        if (!received.domain) received.domain.reset(*tail);
        tail = &(*tail)->next;
    }
    received.context = reader.polyhedron();
    std::int64_t names = 0;
    if (!received.context || !received.input.domain || !reader.count(names, sizeof(std::int64_t))) return std::nullopt;
    received.input.context = received.context.get();
    received.input.names.resize(static_cast<std::size_t>(names));
    for (std::string& name : received.input.names)
        if (!reader.text(name)) return std::nullopt;
    return received;
}

// Runs in the worker: the analysis `work` of the problem it was sent.
template <bool (*work)(AnalysisInput&)>
bool received_job(const std::string& problem) {
    std::optional<ReceivedProblem> received = read_problem(problem);
    return received && work(received->input);
}

void run_analysis(StoreSession& session, const AnalysisKind& kind, const std::string& domain_name,
                  const std::string& ctx_name, DomainEntry* list, WorkerJob job) {
    StatementReport& report = session.report;
    const DomainEntry* entry = lookup_domain(domain_name, list);
    const DomainEntry* context = lookup_domain(ctx_name, list);
    if (!entry || !context) {
        note_refusal(report);
        std::fprintf(report.out, "> %s : '%s' or '%s' undeclared - command ignored\n", kind.label,
                     domain_name.c_str(), ctx_name.c_str());
        return;
    }
    std::optional<AnalysisInput> input = prepare_analysis(report, kind, *entry, *context);
    if (!input) return;
    std::fflush(report.out);
    ContainedResult result = run_in_worker(job, problem_of(*input), session.analysis_time_limit, session.reader);
    if (result.outcome != ContainedOutcome::Finished) {
        report_error(report, contained_failure_message(result, std::string(kind.what) + " '" + domain_name + "'",
                                                       session.analysis_time_limit));
        return;
    }
    std::fwrite(result.output.data(), 1, result.output.size(), report.out);
}

template <class Convert>
void print_matrices(StatementReport& report, const Polyhedron* domain, Convert convert, const char* what) {
    FILE* out = report.out;
    for (const Polyhedron* p = domain; p; p = p->next) {
        auto* polyhedron = const_cast<Polyhedron*>(p);
        if (!polylib_guarded([&] {
                Matrix* m = convert(polyhedron);
                Matrix_Print(out, matrix_value_format, m);
                Matrix_Free(m);
            })) {
            report_polylib_failure(report, what);
            return;
        }
    }
}

// Polyhedron2Rays reads past the ray pointers of a polyhedron without rays
// (the empty declaration { | }); the ray matrix of such a polyhedron has no row.
Matrix* rays_matrix(Polyhedron* p) { return p->NbRays == 0 ? Matrix_Alloc(0, p->Dimension + 2) : Polyhedron2Rays(p); }

}  // namespace

std::optional<std::string> context_problem(const DomainEntry& entry, const DomainEntry& context) {
    const Polyhedron* c = context.domain;
    unsigned dimension = entry.domain->Dimension;
    if (int pieces = union_size(c); pieces > 1)
        return "context '" + context.name + "' is a union of " + std::to_string(pieces) +
               " polyhedra; a context must be a single polyhedron";
    if (c->Dimension > dimension)
        return "context '" + context.name + "' has " + std::to_string(c->Dimension) + " dimensions, more than the " +
               std::to_string(dimension) + " of domain '" + entry.name + "'";
    if (c->Dimension > 0 && all_empty(c)) return "context '" + context.name + "' is empty";
    return std::nullopt;
}

bool prepare_analysis_worker() {
    const long long triangle_rows[4][5] = {{1, 1, 0, 0, 0}, {1, -1, 0, 1, 0}, {1, 0, 1, 0, 0}, {1, 1, -1, 0, 0}};
    const long long parameter_rows[1][3] = {{1, 1, 0}};
    Polyhedron* triangle = nullptr;
    Polyhedron* parameter = nullptr;
    bool built = polylib_guarded([&] {
        Matrix* rows = Matrix_Alloc(4, 5);
        for (unsigned r = 0; r < 4; ++r)
            for (unsigned c = 0; c < 5; ++c) value_set_si(rows->p[r][c], triangle_rows[r][c]);
        triangle = Constraints2Polyhedron(rows, 100);
        Matrix_Free(rows);
        rows = Matrix_Alloc(1, 3);
        for (unsigned c = 0; c < 3; ++c) value_set_si(rows->p[0][c], parameter_rows[0][c]);
        parameter = Constraints2Polyhedron(rows, 100);
        Matrix_Free(rows);
    });
    PolyhedronPtr owned_triangle(triangle), owned_parameter(parameter);
    std::vector<WorkerWarmUp> warm_up;
    if (built && triangle && parameter) {
        AnalysisInput sample{triangle, parameter, nullptr, {"N"}, {}, "T"};
        std::string problem = problem_of(sample);
        warm_up = {{received_job<enumerate_and_print>, problem}, {received_job<decompose_and_print>, problem}};
    }
    return start_analysis_worker(warm_up);
}

bool bounded_for_fixed_parameters(const Polyhedron* polyhedron, unsigned parameters, bool& failed) {
    return only_zero_direction(polyhedron, parameters, false, failed);
}

bool has_line_for_fixed_parameters(const Polyhedron* polyhedron, unsigned parameters, bool& failed) {
    return !only_zero_direction(polyhedron, parameters, true, failed);
}

void print_parametric_vertices(const Param_Polyhedron* result, const char** parameter_names) {
    for (const Param_Domain* pd = result->D; pd; pd = pd->next) {
        std::fputs(vertices_separator, stdout);
        std::fputs("Domain :\n", stdout);
        Print_Domain(stdout, pd->Domain, parameter_names);
        std::fputs("Vertices :\n", stdout);
        unsigned i = 0;
        for (const Param_Vertices* v = result->V; v && i < static_cast<unsigned>(result->nbV); v = v->next, ++i) {
            if (!vertex_in_domain(pd->F, i)) continue;
            Print_Vertex(stdout, v->Vertex, parameter_names);
            std::fputc('\n', stdout);
        }
    }
}

void print_ehrhart(StoreSession& session, const std::string& domain_name, const std::string& ctx_name,
                   DomainEntry* list) {
    run_analysis(session, ehrhart_kind, domain_name, ctx_name, list, received_job<enumerate_and_print>);
}

void print_vertices(StoreSession& session, const std::string& domain_name, const std::string& ctx_name,
                    DomainEntry* list) {
    run_analysis(session, vertices_kind, domain_name, ctx_name, list, received_job<decompose_and_print>);
}

void print_pl_cons(StatementReport& report, const Polyhedron* domain) {
    print_matrices(report, domain, [](Polyhedron* p) { return Polyhedron2Constraints(p); }, "the constraints of a domain");
}

void print_pl_rays(StatementReport& report, const Polyhedron* domain) {
    print_matrices(report, domain, [](Polyhedron* p) { return rays_matrix(p); }, "the rays of a domain");
}
