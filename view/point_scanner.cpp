// Integer point scanner: the scanning matrix (PolyLib projections, once per
// polyhedron), its compiled loop nest, and membership of a point in a union.
#include "view/point_scanner.h"

#include <bit>
#include <cstdio>

namespace {

// What a scanning-matrix build holds while PolyLib may throw (it unwinds with
// longjmp, past any destructor): the working matrix and the polyhedra of the
// levels under way, released by the build's own handler before the
// exception goes on.
struct ScanningWork {
    Matrix* work = nullptr;
    unsigned capacity = 0;
    std::vector<Polyhedron*> held;   // reserved beforehand: no allocation while PolyLib runs

    void hold(Polyhedron* p) {
        if (p) held.push_back(p);
    }
    void release(Polyhedron* p) {
        for (std::size_t k = held.size(); k-- > 0;)
            if (held[k] == p) {
                held.erase(held.begin() + static_cast<std::ptrdiff_t>(k));
                return;
            }
    }
    void free_all() {
        for (Polyhedron* p : held) Domain_Free(p);
        held.clear();
        if (work) {
            work->NbRows = capacity;
            Matrix_Free(work);
            work = nullptr;
        }
    }
};

// Keeps the working matrix large enough for `more` rows: a polyhedron whose
// projections need more rows than asked for gets a larger matrix instead of
// rows written past its end.
void reserve_rows(ScanningWork& w, unsigned more) {
    Matrix* work = w.work;
    if (work->NbRows + more <= w.capacity) return;
    unsigned wanted = w.capacity * 2;
    if (wanted < work->NbRows + more) wanted = work->NbRows + more;
    Matrix* larger = Matrix_Alloc(wanted, work->NbColumns);
    for (unsigned r = 0; r < work->NbRows; ++r)
        for (unsigned c = 0; c < work->NbColumns; ++c) larger->p[r][c] = work->p[r][c];
    larger->NbRows = work->NbRows;
    work->NbRows = w.capacity;
    Matrix_Free(work);
    w.work = larger;
    w.capacity = wanted;
}

void append_row(Matrix* work, const Value* row) {
    for (unsigned c = 0; c < work->NbColumns; ++c) work->p[work->NbRows][c] = row[c];
    ++work->NbRows;
}

unsigned first_nonzero_column(const Matrix* lines) {
    for (unsigned c = 1; c < lines->NbColumns; ++c)
        if (lines->p[0][c] != 0) return c;
    return lines->NbColumns;
}

// The rows move up by one; the storage stays where PolyLib put it.
void drop_first_row(Matrix* lines) {
    for (unsigned r = 0; r + 1 < lines->NbRows; ++r)
        for (unsigned c = 0; c < lines->NbColumns; ++c) lines->p[r][c] = lines->p[r + 1][c];
    --lines->NbRows;
}

// One level of elimination: the constraints of the projection of P on the
// variables up to the one of column c that involve that variable, then the
// rest of P (simplified by that projection) for the next levels.
void add_scanning_rows(Polyhedron* p, Matrix* lines, ScanningWork& w, unsigned working_rows) {
    unsigned column = first_nonzero_column(lines);
    drop_first_row(lines);
    if (lines->NbRows == 0) {
        reserve_rows(w, p->NbConstraints);
        for (unsigned r = 0; r < p->NbConstraints; ++r) append_row(w.work, p->Constraint[r]);
        return;
    }
    Polyhedron* projection = DomainAddRays(p, lines, working_rows);
    w.hold(projection);
    if (projection) {
        reserve_rows(w, projection->NbConstraints);
        for (unsigned r = 0; r < projection->NbConstraints; ++r)
            if (column < projection->Dimension + 2 && projection->Constraint[r][column] != 0)
                append_row(w.work, projection->Constraint[r]);
    }
    Polyhedron* rest = projection ? DomainSimplify(p, projection, working_rows) : nullptr;
    w.hold(rest);
    if (projection) {
        w.release(projection);
        Polyhedron_Free(projection);
    }
    if (!rest) return;
    add_scanning_rows(rest, lines, w, working_rows);
    w.release(rest);
    Domain_Free(rest);
}

}  // namespace

Matrix* Scanning_Matrix(Polyhedron* polyhedron, Matrix* lines, unsigned working_rows) {
    if (lines->NbColumns != polyhedron->Dimension + 2) {
        std::fputs("? Scanning_Matrix: operation on different dimensions\n\n", stdout);
        return nullptr;
    }
    Matrix* result = nullptr;
    bool finished = false;
    {   // ends before the exception goes on: RETHROW leaves by longjmp
        ScanningWork w;
        w.capacity = working_rows > 0 ? working_rows : 1;
        w.held.reserve(2 * static_cast<std::size_t>(lines->NbRows) + 2);
        finished = polylib_guarded([&] {
            w.work = Matrix_Alloc(w.capacity, lines->NbColumns);
            w.work->NbRows = 0;
            if (lines->NbRows > 0) add_scanning_rows(polyhedron, lines, w, working_rows);
            if (w.work->NbRows > 0) {
                result = Matrix_Alloc(w.work->NbRows, w.work->NbColumns);
                for (unsigned r = 0; r < w.work->NbRows; ++r)
                    for (unsigned c = 0; c < w.work->NbColumns; ++c) result->p[r][c] = w.work->p[r][c];
            }
        });
        w.free_all();
    }
    if (!finished) RETHROW();
    return result;
}

namespace {

constexpr unsigned scanning_working_rows = 1000;

bool fits_in_32_bits(std::int64_t v) {
    return v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max();
}

// The unit lines of every variable, in variable order, and the scanning
// matrix built from them. Null when PolyLib threw or nothing resulted.
Matrix* unit_lines_scanning_matrix(Polyhedron* polyhedron, bool& failed) {
    Matrix* result = nullptr;
    Matrix* lines = nullptr;
    const unsigned d = polyhedron->Dimension;
    failed = !polylib_guarded([&] {
        lines = Matrix_Alloc(d, d + 2);
        for (unsigned r = 0; r < d; ++r)
            for (unsigned c = 0; c < d + 2; ++c) lines->p[r][c] = c == r + 1 ? 1 : 0;
        result = Scanning_Matrix(polyhedron, lines, scanning_working_rows);
    });
    if (lines) {
        lines->NbRows = d;   // the build consumed its rows; the storage is all there
        Matrix_Free(lines);
    }
    return failed ? nullptr : result;
}

}  // namespace

// The rows of the scanning matrix that bound variable `depth` by the earlier
// ones only, of one kind, in matrix order, with the variable's sign folded in:
// e x + f >= 0 is x >= -f / e when e > 0 and x <= f / -e when e < 0.
void ScanPlan::compile_rows(const Matrix* matrix, unsigned depth, RowKind kind) {
    const unsigned column = depth + 1;
    const unsigned constant = matrix->NbColumns - 1;
    for (unsigned r = 0; r < matrix->NbRows; ++r) {
        const Value* row = matrix->p[r];
        const std::int64_t e = value_of(row[column]);
        if (e == 0) continue;
        bool involves_later = false;
        for (unsigned c = column + 1; c < constant; ++c) involves_later = involves_later || row[c] != 0;
        if (involves_later) continue;
        const RowKind row_kind = row[0] == 0 ? RowKind::equal : e > 0 ? RowKind::lower : RowKind::upper;
        if (row_kind != kind) continue;
        const std::int64_t sign = e > 0 ? -1 : 1;
        const std::int64_t divisor = e > 0 ? e : -e;
        rows_.push_back(divisor);
        rows_.push_back(std::bit_cast<std::int64_t>(1.0 / static_cast<double>(divisor)));
        rows_.push_back(sign * value_of(row[constant]));
        for (unsigned k = 0; k < depth; ++k) rows_.push_back(sign * value_of(row[k + 1]));
    }
}

ScanPlan::Build ScanPlan::build(Polyhedron* polyhedron) {
    dimension_ = 0;
    rows_.clear();
    levels_.clear();
    state_.clear();
    matrix_.reset();
    if (!polyhedron || polyhedron->NbRays == 0) return Build::nothing_to_scan;

    Polyhedron* successors = polyhedron->next;
    polyhedron->next = nullptr;
    bool failed = false;
    Matrix* matrix = unit_lines_scanning_matrix(polyhedron, failed);
    polyhedron->next = successors;
    if (failed) {
        std::fputs("Can't visualize a polyhedron: PolyLib failed to build its scanning matrix\n", stdout);
        return Build::failed;
    }
    if (!matrix) return Build::nothing_to_scan;
    matrix_.reset(matrix);

    const unsigned d = polyhedron->Dimension;
    const unsigned constant = d + 1;
    for (unsigned r = 0; r < matrix->NbRows; ++r)
        for (unsigned c = 1; c <= constant; ++c)
            if (!fits_in_32_bits(value_of(matrix->p[r][c]))) {
                report_out_of_range();
                return Build::failed;
            }
    dimension_ = static_cast<int>(d);
    for (unsigned depth = 0; depth < d; ++depth) {
        Level level{};
        level.lower = rows_.size();
        compile_rows(matrix, depth, RowKind::lower);
        level.upper = rows_.size();
        compile_rows(matrix, depth, RowKind::upper);
        level.equal = rows_.size();
        compile_rows(matrix, depth, RowKind::equal);
        level.end = rows_.size();
        level.state = state_.size();
        state_.resize(state_.size() + state_width * ((level.end - level.lower) / (row_head + depth)));
        levels_.push_back(level);
    }
    return Build::ready;
}

bool ScanPlan::later_levels_ignore(int depth) const {
    for (int level = depth + 1; level < dimension_; ++level) {
        const Level& l = levels_[static_cast<std::size_t>(level)];
        const std::size_t width = row_head + static_cast<std::size_t>(level);
        for (std::size_t r = l.lower; r != l.end; r += width)
            if (rows_[r + row_head + static_cast<std::size_t>(depth)] != 0) return false;
    }
    return true;
}

bool ScanPlan::later_levels_widen_with(int depth) const {
    for (int level = depth + 1; level < dimension_; ++level) {
        const Level& l = levels_[static_cast<std::size_t>(level)];
        const std::size_t width = row_head + static_cast<std::size_t>(level);
        const std::size_t column = row_head + static_cast<std::size_t>(depth);
        for (std::size_t r = l.lower; r != l.upper; r += width)
            if (rows_[r + column] > 0) return false;
        for (std::size_t r = l.upper; r != l.equal; r += width)
            if (rows_[r + column] < 0) return false;
        for (std::size_t r = l.equal; r != l.end; r += width)
            if (rows_[r + column] != 0) return false;
    }
    return true;
}

namespace {

// A row's g along the outer variable, g0 + step * t, and its divisor.
struct RowLine {
    __int128 g0, step, divisor;
    __int128 at(std::int64_t t) const { return g0 + step * t; }
};

}  // namespace

// Rows compared by their rational bounds g / divisor, cross-multiplied: exact
// (g stays within 2^52 over the carried range, divisors within 2^31).
ScanPlan::CarriedRow ScanPlan::tightest_row(int depth, RowKind kind, std::int64_t t, std::int64_t span,
                                            std::int64_t& until) const {
    const Level& level = levels_[static_cast<std::size_t>(depth)];
    const std::size_t width = row_head + static_cast<std::size_t>(depth);
    const bool lower = kind == RowKind::lower;
    const std::size_t begin = lower ? level.lower : level.upper;
    const std::size_t count = ((lower ? level.upper : level.equal) - begin) / width;
    const std::int64_t* state = state_.data() + level.state + (begin - level.lower) / width * state_width;
    const auto line = [&](std::size_t k) {
        const std::int64_t* s = state + k * state_width;
        const std::int64_t divisor = rows_[begin + k * width];
        return RowLine{__int128{s[0]} * divisor + s[1], __int128{s[2]} * divisor + s[3], divisor};
    };
    // How much tighter a's bound is than b's at t, and how fast that grows
    // with t, both times the two divisors.
    const __int128 sign = lower ? 1 : -1;
    const auto margin = [&](const RowLine& a, const RowLine& b) { return sign * (b.divisor * a.at(t) - a.divisor * b.at(t)); };
    const auto drift = [&](const RowLine& a, const RowLine& b) { return sign * (b.divisor * a.step - a.divisor * b.step); };

    std::size_t best = 0;
    for (std::size_t k = 1; k < count; ++k) {
        const __int128 m = margin(line(k), line(best));
        if (m > 0 || (m == 0 && drift(line(k), line(best)) > 0)) best = k;
    }
    const RowLine chosen = line(best);
    __int128 last = span;
    for (std::size_t k = 0; k < count; ++k) {
        if (k == best) continue;
        const __int128 d = drift(chosen, line(k));
        if (d >= 0) continue;
        const __int128 stays = t + margin(chosen, line(k)) / -d;
        last = stays < last ? stays : last;
    }
    // The chosen row is at least as tight as every other at t, so each margin
    // is nonnegative and the piece holds t itself; kept so whatever happens,
    // or the scan would stand still.
    until = static_cast<std::int64_t>(last > t ? last : t);

    const std::int64_t* s = state + best * state_width;
    const std::int64_t divisor = static_cast<std::int64_t>(chosen.divisor);
    const std::int64_t g = static_cast<std::int64_t>(chosen.at(t));
    CarriedRow row{g / divisor, g % divisor, s[2], s[3], divisor};
    if (row.rest < 0) --row.q, row.rest += divisor;
    if (lower && row.rest != 0) {
        ++row.q;
        row.rest = divisor - row.rest;
    }
    return row;
}

void ScanPlan::report_not_closed() const {
    std::fputs("Error in scan polyhedron : non closed polyhedron\n", stderr);
    Matrix_Print(stderr, "%3ld ", matrix_.get());
    std::fputs("Can't visualize an infinite polyhedron\n\n", stdout);
}

void ScanPlan::report_out_of_range() {
    std::fputs("Error in scan polyhedron : values beyond the 32-bit range\n", stderr);
    std::fputs("Can't visualize a polyhedron whose coefficients or coordinates exceed 32 bits\n", stdout);
}

int scan_points(Polyhedron* polyhedron, std::int64_t* coordinates, point_callback callback, void* data) {
    return scan_points_by(polyhedron, coordinates, PointerCallback{callback, data});
}

namespace {

// Sign of c0 + sum ck * x(k-1), exactly; an overflow of the 128-bit sum (which
// needs coefficients and coordinates near the 64-bit limits) counts as a
// failed constraint rather than a wrong answer.
bool satisfies(const Value* row, unsigned dimension, const std::int64_t* x) {
    __int128 s = value_of(row[dimension + 1]);
    bool overflow = false;
    for (unsigned k = 1; k <= dimension; ++k) {
        __int128 term = static_cast<__int128>(value_of(row[k])) * x[k - 1];
        overflow = overflow || __builtin_add_overflow(s, term, &s);
    }
    if (overflow) return false;
    return row[0] == 0 ? s == 0 : s >= 0;
}

}  // namespace

int point_in_domain(const Polyhedron* domain, const std::int64_t* coordinates) {
    for (const Polyhedron* p = domain; p; p = p->next) {
        if (p->NbConstraints == 0) return 1;
        bool inside = true;
        for (unsigned r = 0; r < p->NbConstraints && inside; ++r)
            inside = satisfies(p->Constraint[r], p->Dimension, coordinates);
        if (inside) return 1;
    }
    return 0;
}
