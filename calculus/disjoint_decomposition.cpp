// Disjoint decomposition with integer-exact set differences: the complement
// of an integer constraint c(x) >= 0 is c(x) <= -1, so every difference below
// keeps exactly the integer points it should.
#include "calculus/disjoint_decomposition.h"

#include <vector>

namespace {

using Row = std::vector<Value>;
using Pieces = std::vector<PolyhedronPtr>;

Value checked_negate(Value v) {
    Value r;
    if (__builtin_sub_overflow(Value{0}, v, &r)) throw DecompositionFailure{};
    return r;
}

Value checked_decrement(Value v) {
    Value r;
    if (__builtin_sub_overflow(v, Value{1}, &r)) throw DecompositionFailure{};
    return r;
}

bool is_empty(const Polyhedron* p) {
    auto* mutable_p = const_cast<Polyhedron*>(p);
    if (F_ISSET(p, POL_VALID) && !F_ISSET(p, POL_POINTS)) {
        if (!polylib_guarded([&] { Polyhedron_Compute_Dual(mutable_p); })) throw DecompositionFailure{};
    }
    return p->NbRays == 0;
}

PolyhedronPtr copy_of(const Polyhedron* p) {
    Polyhedron* copy = nullptr;
    if (!polylib_guarded([&] { copy = Polyhedron_Copy(const_cast<Polyhedron*>(p)); })) throw DecompositionFailure{};
    return PolyhedronPtr(copy);
}

// p with the rows added (rows holds `count` rows of p's width, one after the other).
PolyhedronPtr with_rows(const Polyhedron* p, const Row& rows, unsigned count) {
    if (count == 0) return copy_of(p);
    Polyhedron* result = nullptr;
    auto* data = const_cast<Value*>(rows.data());
    auto* base = const_cast<Polyhedron*>(p);
    if (!polylib_guarded([&] { result = AddConstraints(data, count, base, 100); })) throw DecompositionFailure{};
    if (!result) throw DecompositionFailure{};
    return PolyhedronPtr(result);
}

unsigned row_width(const Polyhedron* p) { return p->Dimension + 2; }

bool always_satisfied(const Value* row, unsigned width) {
    for (unsigned c = 1; c + 1 < width; ++c)
        if (row[c] != 0) return false;
    return row[0] == 0 ? row[width - 1] == 0 : row[width - 1] >= 0;
}

// q's constraints as inequalities only (an equality gives two), the rows that
// hold everywhere left out.
std::vector<Row> inequalities_of(const Polyhedron* q) {
    unsigned width = row_width(q);
    std::vector<Row> rows;
    for (unsigned r = 0; r < q->NbConstraints; ++r) {
        const Value* c = q->Constraint[r];
        if (always_satisfied(c, width)) continue;
        Row row(c, c + width);
        row[0] = 1;
        rows.push_back(row);
        if (c[0] == 0) {
            Row opposite(width);
            opposite[0] = 1;
            for (unsigned k = 1; k < width; ++k) opposite[k] = checked_negate(c[k]);
            rows.push_back(opposite);
        }
    }
    return rows;
}

Row complement_of(const Row& row) {
    Row opposite(row.size());
    opposite[0] = 1;
    for (std::size_t k = 1; k < row.size(); ++k) opposite[k] = checked_negate(row[k]);
    opposite.back() = checked_decrement(opposite.back());
    return opposite;
}

PolyhedronPtr intersection(const Polyhedron* f, const Polyhedron* q) {
    unsigned width = row_width(q);
    Row rows;
    for (unsigned r = 0; r < q->NbConstraints; ++r) rows.insert(rows.end(), q->Constraint[r], q->Constraint[r] + width);
    return with_rows(f, rows, q->NbConstraints);
}

// The integer points of f outside q, as disjoint non-empty polyhedra: for each
// inequality of q in turn, the part of f that satisfies the earlier ones and
// violates this one.
Pieces difference(const Polyhedron* f, const Polyhedron* q) {
    Pieces pieces;
    if (is_empty(f)) return pieces;
    if (is_empty(q)) {
        pieces.push_back(copy_of(f));
        return pieces;
    }
    PolyhedronPtr rest = copy_of(f);
    for (const Row& row : inequalities_of(q)) {
        PolyhedronPtr outside = with_rows(rest.get(), complement_of(row), 1);
        if (!is_empty(outside.get())) pieces.push_back(std::move(outside));
        rest = with_rows(rest.get(), row, 1);
        if (is_empty(rest.get())) break;
    }
    return pieces;
}

Pieces difference(Pieces pieces, const Polyhedron* q) {
    Pieces rest;
    for (const auto& piece : pieces)
        for (auto& part : difference(piece.get(), q)) rest.push_back(std::move(part));
    return rest;
}

// What is left of the pieces once every polyhedron of the union is taken out.
Pieces difference_with_union(Pieces pieces, const Polyhedron* domain) {
    for (const Polyhedron* q = domain; q && !pieces.empty(); q = q->next) pieces = difference(std::move(pieces), q);
    return pieces;
}

Pieces single(const Polyhedron* p) {
    Pieces pieces;
    pieces.push_back(copy_of(p));
    return pieces;
}

DomainPtr linked(Pieces pieces, unsigned dimension) {
    if (pieces.empty()) {
        Polyhedron* empty = nullptr;
        if (!polylib_guarded([&] { empty = Empty_Polyhedron(dimension); })) throw DecompositionFailure{};
        return DomainPtr(empty);
    }
    for (std::size_t k = pieces.size() - 1; k > 0; --k) pieces[k - 1]->next = pieces[k].release();
    return DomainPtr(pieces.front().release());
}

bool same_dimension(const Polyhedron* a, const Polyhedron* b) {
    for (const Polyhedron* p = a; p; p = p->next)
        if (p->Dimension != b->Dimension) return false;
    return true;
}

bool pairwise_disjoint(const Polyhedron* pieces) {
    for (const Polyhedron* a = pieces; a; a = a->next)
        for (const Polyhedron* b = a->next; b; b = b->next)
            if (!is_empty(intersection(a, b).get())) return false;
    return true;
}

bool covered_by(const Polyhedron* inner, const Polyhedron* outer) {
    for (const Polyhedron* p = inner; p; p = p->next)
        if (!difference_with_union(single(p), outer).empty()) return false;
    return true;
}

}  // namespace

bool is_disjoint_decomposition(const Polyhedron* pieces, const Polyhedron* domain) {
    return pieces && same_dimension(pieces, domain) && pairwise_disjoint(pieces) && covered_by(pieces, domain) &&
           covered_by(domain, pieces);
}

DomainPtr venn_decomposition(const Polyhedron* domain) {
    Pieces cells;
    for (const Polyhedron* p = domain; p; p = p->next) {
        Pieces next_cells;
        Pieces rest_of_p = is_empty(p) ? Pieces{} : single(p);
        for (const auto& cell : cells) {
            PolyhedronPtr inside = intersection(cell.get(), p);
            if (!is_empty(inside.get())) next_cells.push_back(std::move(inside));
            for (auto& outside : difference(cell.get(), p)) next_cells.push_back(std::move(outside));
            rest_of_p = difference(std::move(rest_of_p), cell.get());
        }
        for (auto& part : rest_of_p) next_cells.push_back(std::move(part));
        cells = std::move(next_cells);
    }
    return linked(std::move(cells), domain->Dimension);
}

DomainPtr sound_disjoint_domain(const Polyhedron* domain) {
    Polyhedron* result = nullptr;
    auto* operand = const_cast<Polyhedron*>(domain);
    if (!polylib_guarded([&] { result = Disjoint_Domain(operand, 0, 100); })) throw DecompositionFailure{};
    DomainPtr library_result(result);
    if (is_disjoint_decomposition(library_result.get(), domain)) return library_result;
    return venn_decomposition(domain);
}
