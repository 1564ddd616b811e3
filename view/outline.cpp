// Outlines of shown polyhedra through the faces-of-faces recursion, kept
// between redraws.
#include "view/outline.h"

#include <unordered_map>
#include <vector>

#include "view/failure.h"
#include "view/plane_outline.h"

namespace {

constexpr unsigned max_rays = 1000;

void paint_projected_generators(Painter& painter, const GdkColor& colour, const Polyhedron* p) {
    const int d = static_cast<int>(p->Dimension);
    check_dimension(d);
    std::vector<PlanePoint> points;
    points.reserve(p->NbRays);
    for (unsigned r = 0; r < p->NbRays; ++r) points.push_back(project_vertex(p->Ray[r], d));
    paint_plane_outline(painter, colour, points.data(), static_cast<int>(points.size()));
}

// The faces-of-faces recursion builds one PolyLib polyhedron per face, and a
// shown domain is redrawn at every step of an axis drag although its faces do
// not change. So the recursion's result is kept: the generator rows of every
// point or segment it reaches, in drawing order, replayed through the current
// projection. An entry serves only a polyhedron with the same constraints (the
// faces follow from them), so a reused address is never trusted.
struct OutlineRecord {
    std::vector<Value> constraints;
    std::vector<std::vector<Value>> pieces;   // generator rows of one point or segment
};

constexpr std::size_t outline_cache_capacity = 64;
std::unordered_map<const Polyhedron*, OutlineRecord> outline_cache;

// The rows of a polyhedron's constraint or generator table, one after another.
std::vector<Value> flattened(Value* const* table, unsigned count, unsigned dimension) {
    const unsigned width = dimension + 2;
    std::vector<Value> rows(static_cast<std::size_t>(count) * width);
    for (unsigned r = 0; r < count; ++r)
        std::copy(table[r], table[r] + width, rows.begin() + static_cast<std::ptrdiff_t>(r) * width);
    return rows;
}

std::vector<Value> flattened_constraints(const Polyhedron* p) {
    return flattened(p->Constraint, p->NbConstraints, p->Dimension);
}

std::vector<Value> flattened_generators(const Polyhedron* p) { return flattened(p->Ray, p->NbRays, p->Dimension); }

bool is_point_or_segment(const Polyhedron* p) {
    const unsigned k = p->Dimension - p->NbEq;
    return k == 0 || k == 1;
}

// The recursion, recording instead of drawing. False when PolyLib failed.
bool collect_outline(Polyhedron* p, std::vector<std::vector<Value>>& pieces) {
    if (is_point_or_segment(p)) {
        pieces.push_back(flattened_generators(p));
        return true;
    }
    FaceNode* faces = polyhedron_faces(p);
    bool ok = p->Dimension < 2 || faces != nullptr || p->NbConstraints == p->NbEq;
    for (FaceNode* f = faces; f && ok; f = f->next) ok = collect_outline(f->face, pieces);
    free_faces(faces);
    return ok;
}

const OutlineRecord* outline_of(Polyhedron* p) {
    auto found = outline_cache.find(p);
    std::vector<Value> constraints = flattened_constraints(p);
    if (found != outline_cache.end() && found->second.constraints == constraints) return &found->second;
    OutlineRecord record{std::move(constraints), {}};
    if (!collect_outline(p, record.pieces)) return nullptr;
    if (outline_cache.size() >= outline_cache_capacity) outline_cache.clear();
    return &(outline_cache[p] = std::move(record));
}

void paint_recorded_outline(Painter& painter, const GdkColor& colour, const OutlineRecord& record,
                            unsigned dimension) {
    const unsigned width = dimension + 2;
    std::vector<PlanePoint> points;
    for (const std::vector<Value>& piece : record.pieces) {
        points.clear();
        for (std::size_t at = 0; at + width <= piece.size(); at += width)
            points.push_back(project_vertex(piece.data() + at, static_cast<int>(dimension)));
        paint_plane_outline(painter, colour, points.data(), static_cast<int>(points.size()));
    }
}

}  // namespace

FaceNode* polyhedron_faces(Polyhedron* p) {
    if (p->Dimension < 2) return nullptr;
    FaceNode* list = nullptr;
    Matrix* m = nullptr;
    bool ok = polylib_guarded([&] {
        m = Polyhedron2Constraints(p);
        for (unsigned i = 0; i < m->NbRows; ++i) {
            if (m->p[i][0] == 0) continue;
            m->p[i][0] = 0;
            Polyhedron* face = Constraints2Polyhedron(m, max_rays);
            list = new FaceNode{list, face};
            for (unsigned r = 0; r < p->NbConstraints; ++r)
                for (unsigned c = 0; c < p->Dimension + 2; ++c) m->p[r][c] = p->Constraint[r][c];
        }
        Matrix_Free(m);
        m = nullptr;
    });
    if (!ok) {
        report_viewer_failure("draw the faces of a domain");
        if (m) Matrix_Free(m);
        free_faces(list);
        return nullptr;
    }
    return list;
}

void free_faces(FaceNode* list) {
    while (list) {
        FaceNode* next = list->next;
        Polyhedron_Free(list->face);
        delete list;
        list = next;
    }
}

void paint_polyhedron_outline(Painter& painter, const GdkColor& colour, Polyhedron* p) {
    if (is_point_or_segment(p)) {
        paint_projected_generators(painter, colour, p);
        return;
    }
    check_dimension(static_cast<long>(p->Dimension));
    if (const OutlineRecord* record = outline_of(p)) paint_recorded_outline(painter, colour, *record, p->Dimension);
}

void paint_domain_outline(Painter& painter, const GdkColor& colour, Polyhedron* domain) {
    for (Polyhedron* p = domain; p; p = p->next) paint_polyhedron_outline(painter, colour, p);
}
