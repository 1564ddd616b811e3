// Outlines of shown polyhedra: the edges of the face lattice, kept between
// redraws.
#include "view/outline.h"

#include <bit>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "view/failure.h"
#include "view/plane_outline.h"

namespace {

constexpr unsigned max_rays = 1000;

void paint_projected_generators(const Viewer& viewer, Painter& painter, const GdkColor& colour, const Polyhedron* p) {
    const int d = static_cast<int>(p->Dimension);
    check_dimension(d);
    std::vector<PlanePoint> points;
    points.reserve(p->NbRays);
    for (unsigned r = 0; r < p->NbRays; ++r) points.push_back(project_vertex(viewer, p->Ray[r], d));
    paint_plane_outline(viewer, painter, colour, points.data(), static_cast<int>(points.size()));
}

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

bool is_point_or_segment(const Polyhedron* p) {
    const unsigned k = p->Dimension - p->NbEq;
    return k == 0 || k == 1;
}

// A shown domain is redrawn at every step of an axis drag although its edges
// do not change, so they are found once: the vertices' generator rows and the
// pairs of vertices that span an edge, replayed through the current
// projection. An entry serves only a polyhedron with the same constraints
// (the edges follow from them), so a reused address is never trusted.
struct OutlineRecord {
    std::vector<Value> constraints;
    std::vector<Value> vertices;                 // generator rows, one after another
    std::vector<std::pair<int, int>> edges;      // indices into vertices
};

}  // namespace

// The viewer's outlines, by polyhedron.
struct OutlineCache {
    std::unordered_map<const Polyhedron*, OutlineRecord> records;
};

void delete_cache(OutlineCache* cache) { delete cache; }

namespace {

constexpr std::size_t outline_cache_capacity = 64;

// The inequalities each vertex saturates, one bit per inequality.
class Saturation {
public:
    // False when a generator is not a vertex (a ray or a line) or a value
    // leaves 128 bits: the edges are then found through the faces.
    bool build(const Polyhedron* p) {
        const unsigned d = p->Dimension;
        for (unsigned c = 0; c < p->NbConstraints; ++c)
            if (p->Constraint[c][0] != 0) inequalities_.push_back(c);
        words_ = (inequalities_.size() + 63) / 64;
        bits_.assign(static_cast<std::size_t>(p->NbRays) * words_, 0);
        for (unsigned r = 0; r < p->NbRays; ++r) {
            const Value* ray = p->Ray[r];
            if (ray[0] == 0 || ray[d + 1] <= 0) return false;
            for (std::size_t k = 0; k < inequalities_.size(); ++k) {
                bool zero = false;
                if (!saturates(p->Constraint[inequalities_[k]], ray, d, zero)) return false;
                if (zero) bits_[r * words_ + k / 64] |= std::uint64_t{1} << (k % 64);
            }
        }
        return true;
    }
    const std::uint64_t* of(unsigned vertex) const { return bits_.data() + vertex * words_; }
    std::size_t words() const { return words_; }

private:
    static bool saturates(const Value* constraint, const Value* ray, unsigned d, bool& zero) {
        __int128 sum = 0;
        for (unsigned k = 1; k <= d + 1; ++k) {
            const __int128 term = static_cast<__int128>(value_of(constraint[k])) * value_of(ray[k]);
            if (__builtin_add_overflow(sum, term, &sum)) return false;
        }
        zero = sum == 0;
        return true;
    }

    std::vector<unsigned> inequalities_;
    std::size_t words_ = 0;
    std::vector<std::uint64_t> bits_;
};

// Two vertices span an edge when the smallest face holding both, the one
// cut out by the inequalities both saturate, holds no third vertex. An edge
// of a k-dimensional polytope lies in at least k - 1 facets, which rules out
// most pairs by a count before any third vertex is tried.
std::vector<std::pair<int, int>> edges_of(const Polyhedron* p, const Saturation& saturation) {
    const int n = static_cast<int>(p->NbRays);
    const std::size_t words = saturation.words();
    const int needed = static_cast<int>(p->Dimension - p->NbEq) - 1;
    std::vector<std::pair<int, int>> edges;
    std::vector<std::uint64_t> common(words);
    for (int u = 0; u < n; ++u)
        for (int v = u + 1; v < n; ++v) {
            const std::uint64_t* a = saturation.of(static_cast<unsigned>(u));
            const std::uint64_t* b = saturation.of(static_cast<unsigned>(v));
            int shared = 0;
            for (std::size_t w = 0; w < words; ++w) shared += std::popcount(common[w] = a[w] & b[w]);
            if (shared < needed) continue;
            bool third = false;
            for (int t = 0; t < n && !third; ++t) {
                if (t == u || t == v) continue;
                const std::uint64_t* c = saturation.of(static_cast<unsigned>(t));
                bool holds = true;
                for (std::size_t w = 0; w < words && holds; ++w) holds = (common[w] & ~c[w]) == 0;
                third = holds;
            }
            if (!third) edges.push_back({u, v});
        }
    return edges;
}

// The faces-of-faces recursion, for polyhedra with rays or lines: the
// generator rows of every segment it reaches. False when PolyLib failed.
bool collect_segments(Polyhedron* p, OutlineRecord& record) {
    if (is_point_or_segment(p)) {
        if (p->NbRays != 2) return true;
        const int first = static_cast<int>(record.vertices.size() / (p->Dimension + 2));
        const std::vector<Value> rows = flattened(p->Ray, p->NbRays, p->Dimension);
        record.vertices.insert(record.vertices.end(), rows.begin(), rows.end());
        record.edges.push_back({first, first + 1});
        return true;
    }
    FaceNode* faces = polyhedron_faces(p);
    bool ok = p->Dimension < 2 || faces != nullptr || p->NbConstraints == p->NbEq;
    for (FaceNode* f = faces; f && ok; f = f->next) ok = collect_segments(f->face, record);
    free_faces(faces);
    return ok;
}

bool collect_outline(Polyhedron* p, OutlineRecord& record) {
    Saturation saturation;
    if (!saturation.build(p)) return collect_segments(p, record);
    record.vertices = flattened(p->Ray, p->NbRays, p->Dimension);
    record.edges = edges_of(p, saturation);
    return true;
}

const OutlineRecord* outline_of(Viewer& viewer, Polyhedron* p) {
    if (!viewer.outline_cache) viewer.outline_cache = new OutlineCache;
    std::unordered_map<const Polyhedron*, OutlineRecord>& outline_cache = viewer.outline_cache->records;
    auto found = outline_cache.find(p);
    std::vector<Value> constraints = flattened_constraints(p);
    if (found != outline_cache.end() && found->second.constraints == constraints) return &found->second;
    OutlineRecord record{std::move(constraints), {}, {}};
    if (!collect_outline(p, record)) return nullptr;
    if (outline_cache.size() >= outline_cache_capacity) outline_cache.clear();
    return &(outline_cache[p] = std::move(record));
}

// Each vertex is projected once, each edge drawn once.
void paint_recorded_outline(const Viewer& viewer, Painter& painter, const GdkColor& colour, const OutlineRecord& record,
                            unsigned dimension) {
    const unsigned width = dimension + 2;
    std::vector<PlanePoint> points;
    points.reserve(record.vertices.size() / width);
    for (std::size_t at = 0; at + width <= record.vertices.size(); at += width)
        points.push_back(project_vertex(viewer, record.vertices.data() + at, static_cast<int>(dimension)));
    for (const auto& [u, v] : record.edges)
        paint_plane_segment(viewer, painter, colour, points[static_cast<std::size_t>(u)],
                            points[static_cast<std::size_t>(v)]);
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

void paint_polyhedron_outline(Viewer& viewer, Painter& painter, const GdkColor& colour, Polyhedron* p) {
    if (is_point_or_segment(p)) {
        paint_projected_generators(viewer, painter, colour, p);
        return;
    }
    check_dimension(static_cast<long>(p->Dimension));
    if (const OutlineRecord* record = outline_of(viewer, p))
        paint_recorded_outline(viewer, painter, colour, *record, p->Dimension);
}

void paint_domain_outline(Viewer& viewer, Painter& painter, const GdkColor& colour, Polyhedron* domain) {
    for (Polyhedron* p = domain; p; p = p->next) paint_polyhedron_outline(viewer, painter, colour, p);
}
