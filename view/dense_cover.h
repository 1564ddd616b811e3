// The marker centres of a polyhedron whose integer points crowd the canvas,
// found from the pixels' side: the cost follows the pixels covered and the
// length of the picture's borders, not the number of points, under any axes.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "base/polylib.h"
#include "view/projection.h"

// The centres are exactly those the points would give one by one
// (marker_centre of each): every centre found is that of a point found in the
// polyhedron, and a part of the polyhedron is left out only when all the
// centres its points can have are known already. Two facts make that cheap:
// - a centre's column and row are each monotone in every coordinate (float
//   sums, products and truncation keep order), so the centres of a box of
//   points lie in the rectangle spanned by the centres of two corners for the
//   column and two for the row;
// - where two coordinates together step the markers by less than a pixel
//   across and down, the lattice of their points reaches every pixel inside
//   their picture, so the point of a pixel is found by solving for it and
//   rounding, then checked through marker_centre.
// Boxes that are neither known nor covered are halved, down to single points
// if need be, so that borders come out exact.
class DenseCover {
public:
    // For the projection and canvas of `viewer`, which outlives the cover.
    explicit DenseCover(const Viewer& viewer) : viewer_(&viewer) {}
    // Reads the polyhedron's constraints and vertices (no PolyLib call).
    // False when it does not suit: equalities, rays or lines, no integer
    // point in the box of its vertices, or coordinates beyond 32 bits.
    bool prepare(const Polyhedron* polyhedron);
    bool prepared() const { return dimension_ > 0; }
    // Whether, at the current projection and canvas, some two coordinates
    // step the markers by less than a pixel together: only then is the
    // pixels' side cheaper than the points'.
    bool crowded() const;
    // Whether the domain (a union) holds none of the points: each of its
    // polyhedra has a constraint that the box of the vertices breaks
    // throughout. A domain that only might hold some is not apart.
    bool apart_from(const Polyhedron* domain) const;
    // Finds the centres of the points' markers that reach the canvas. `stop`
    // is asked now and then; true abandons the work (false returned, the
    // centres found so far kept).
    bool centres(const std::function<bool()>& stop);
    // The centres found, as rows of bits: bit x of row y (`words` words of 64
    // bits a row) stands for the centre (left + x, top + y). One bit a
    // pixel, however large the picture.
    struct Found {
        const std::uint64_t* bits;
        int words, left, top, width, height;
    };
    Found found() const;
    bool found_at(int column, int row) const;
    long found_count() const;
    // Lets go of the centres found: a kept polyhedron holds no picture-sized
    // memory between redraws.
    void forget_centres() { std::vector<std::uint64_t>().swap(bits_); }

    // The point nearest to (x, y) in the view plane, the distance being the
    // float sum of squares a scan of every point computes (project_point,
    // then the differences), among points nearer than `limit` (squared);
    // ties go to the first in scan order. Replaces `point` and `distance`
    // (a negative distance: none yet) only by a strictly nearer point, as a
    // later polyhedron of a union would in the scan; true when it did.
    bool nearest_point(float x, float y, float limit, std::int64_t* point, double& distance);

private:
    struct Box {
        std::int64_t lo[MAXDIM], hi[MAXDIM];
    };
    enum class Place { outside, across, inside };

    Place place(const Box& box) const;
    struct Nearest {
        float x, y, limit;
        std::int64_t* point;
        double* distance;
        bool here;   // the best point is one of this polyhedron's
    };
    // The least distance any point of the box can have (the float operations
    // keep order, so the nearest corners give it).
    float distance_bound(const Box& box, const Nearest& n) const;
    void nearest(const Box& box, bool inside, Nearest& n);
    void visit(const Box& box, bool inside);
    // The vertices of the points half a unit inside every constraint (empty
    // when there are none), and the centres they vouch for.
    void find_deep_vertices(const Polyhedron* polyhedron);
    void cover_deep_picture();
    std::vector<std::pair<double, double>> picture_hull(const std::vector<double>& coordinates) const;
    void find_picture_rows();
    // The rest of a visit, the box's rectangle of centres within the clip
    // known (a single centre when one_centre), its row ranges at `at` in
    // rows_pool_.
    void split_or_fill(const Box& box, bool inside, int x0, int x1, int y0, int y1, std::size_t at, bool one_centre);
    // Finds the points of the pixels of the area not covered yet by solving
    // for them in the coordinates of the mask `solved` (the others at their
    // middle), then rounding.
    // In a box across the border, each point found is first settled.
    void fill(const Box& box, bool inside, unsigned solved, const int* first, const int* last, int y0, int y1);
    // The point of the box (its coordinates listed held at q plus 0 .. twice
    // their middle) whose picture lies at (dx, dy) from the middle's, some
    // coordinates held at a bound where the least-squares one leaves the
    // box, then rounded; false when none is found.
    bool bounded_solution(double dx, double dy, int count, const int* coordinates, const double* middle,
                          const double* weight, const std::int64_t* q, std::int64_t* point) const;
    // Moves one of the coordinates listed (the last first) to the value
    // nearest to it that puts the point in the polyhedron, the others held;
    // false when none can.
    bool settle(const Box& box, std::int64_t* point, const int* coordinates, int count);
    // The coordinates whose lattice reaches every pixel of the box's picture:
    // all those that move it, when together they step by less than a pixel;
    // else the two that span most, while the others move it by at most a
    // pixel or two; false when there are none.
    bool fill_coordinates(const Box& box, unsigned& solved) const;
    int split_coordinate(const Box& box, bool inside) const;
    CanvasPoint centre_of(const std::int64_t* point) const;

    // Covered centres, columns -3 .. canvas_width + 2 and rows -3 ..
    // canvas_height + 2 (markers further out paint nothing on the canvas).
    bool covered(int x, int y) const;
    // Whether the centre is new.
    bool cover(CanvasPoint c);
    // Whether every centre of rows y0 .. y1 between first[y - y0] and
    // last[y - y0] is covered.
    bool all_covered(const int* first, const int* last, int y0, int y1) const;
    // The columns a point of the box can have its centre at, row by row
    // (first[y - y0] .. last[y - y0], within x0 .. x1; first > last where
    // none): those near the box's picture, a zonogon (the exact projection,
    // widened by the float rounding's bound and the truncation's reach).
    // False when nothing of the rectangle is near it.
    bool reachable_rows(const Box& box, int x0, int x1, int y0, int y1, int* first, int* last) const;

    const Viewer* viewer_;
    int dimension_ = 0;
    std::vector<std::int64_t> rows_;   // per row: coefficients, then the constant; a . x + c >= 0
    std::vector<double> deep_;         // dimension_ coordinates a vertex
    std::vector<double> vertices_;     // the polyhedron's, the same way
    // Per row of the clip, the columns near the polyhedron's picture.
    std::vector<int> picture_first_, picture_last_;
    Box bounds_{};
    // Per drawing: pixel steps of each coordinate, the clip, the cover.
    double step_x_[MAXDIM] = {}, step_y_[MAXDIM] = {};
    // The canvas position of the origin, exactly (before rounding), and how
    // far the float position of a point can lie from its exact one (pixels).
    double origin_x_ = 0, origin_y_ = 0, reach_ = 0;
    // Row ranges of the boxes being visited, a stack by depth.
    std::vector<int> rows_pool_;
    std::size_t rows_top_ = 0;
    int clip_x0_ = 0, clip_x1_ = -1, clip_y0_ = 0, clip_y1_ = -1;
    int words_ = 0;
    std::vector<std::uint64_t> bits_;
    const std::function<bool()>* stop_ = nullptr;
    bool stopped_ = false;
    bool deferring_ = false;
    std::vector<Box> deferred_;
    std::vector<__int128> sums_;
    long visits_ = 0;
};
