// The picture of a crowded polyhedron whose points blend with other shown
// domains, decided pixel by pixel: the cost follows the pixels and the
// pieces' borders, not the number of points.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "base/polylib.h"
#include "view/dense_cover.h"
#include "view/marker_runs.h"
#include "view/painter.h"
#include "view/point_scanner.h"

// Drawing the points one by one in scan order leaves on each pixel the
// colour of the last point (in lexicographic order) whose marker covers it.
// The polyhedron is cut into convex pieces, each inside or outside every
// polyhedron of the blending domains, so that each piece has one colour; the
// centres of each piece's points are found from the pixels' side
// (DenseCover). Where pieces of one colour alone reach a pixel's markers,
// that is its colour. Elsewhere the last point of each centre is found
// exactly (the greatest point of the piece whose marker centre is that
// pixel, coordinate by coordinate, each step checked through marker_centre),
// and the greatest of those around the pixel gives its colour.
class BlendCover {
public:
    explicit BlendCover(const Viewer& viewer) : viewer_(&viewer) {}
    BlendCover(BlendCover&&) = default;
    BlendCover& operator=(BlendCover&&) = default;
    ~BlendCover();

    // Cuts the polyhedron by the sources' polyhedra (PolyLib work: expects
    // domain_lock). False when it does not suit: an equality, a source of
    // another dimension, too many pieces, or a piece the pixels' side does
    // not take.
    bool prepare(Polyhedron* polyhedron, const GdkColor& own, const std::vector<BlendSource>& sources);
    bool prepared() const { return prepared_; }
    // Paints the polyhedron's markers as spans, one call per colour, the
    // pixels of the calls disjoint. False when `stop` asked to abandon (what
    // was found is not painted).
    bool paint(Painter& painter, const std::function<bool()>& stop);

    // The last point of the piece whose marker centre is `c`, exactly as the
    // scan finds it; false when the piece has no point there. For tests.
    bool last_point(std::size_t piece, CanvasPoint c, std::int64_t* point);
    std::size_t pieces() const { return pieces_.size(); }

private:
    struct Piece {
        DomainPtr polyhedron;
        std::unique_ptr<ScanPlan> plan;
        DenseCover cover;
        std::int64_t lo[MAXDIM], hi[MAXDIM];   // the box of its vertices
        int colour;                            // index into colours_
        std::vector<double> rows;              // its constraints: coefficients, constant
    };
    using Point = std::array<std::int64_t, MAXDIM>;
    struct Last {
        bool found;
        Point point;
        int colour;
    };

    bool search(const Piece& piece, CanvasPoint c, std::int64_t* x, int depth) const;
    bool first_range(const Piece& piece, CanvasPoint c, double& first, double& last) const;
    // The greatest point, over the pieces that reach centre `index`, of those
    // whose centre it is; cached.
    const Last& last_at(int index);
    bool greater(const Point& a, const Point& b) const;

    // The exact canvas position: origin plus the steps of each coordinate.
    void measure();

    const Viewer* viewer_;
    double step_x_[MAXDIM] = {}, step_y_[MAXDIM] = {}, origin_x_ = 0, origin_y_ = 0;
    bool prepared_ = false;
    int dimension_ = 0;
    std::vector<Piece> pieces_;
    std::vector<GdkColor> colours_;
    // Per redraw: the clip (as DenseCover's), the piece of each centre (0:
    // none, else its index + 1) and the other pieces that reach it.
    int clip_x0_ = 0, clip_y0_ = 0, clip_width_ = 0, clip_height_ = 0;
    std::vector<std::uint16_t> first_piece_;
    std::unordered_map<int, std::vector<std::uint16_t>> more_pieces_;
    std::unordered_map<int, Last> last_;
};
