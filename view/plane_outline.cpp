// Gift wrapping of projected points, and the segments and markers of the
// smallest outlines.
#include "view/plane_outline.h"

void paint_plane_marker(const Viewer& viewer, Painter& painter, const GdkColor& colour, PlanePoint point) {
    if (!canvas_takes_markers(viewer)) return;
    const CanvasPoint centre = to_canvas(viewer, point.x, point.y);
    painter.markers(colour, &centre, 1);
}

// The X server's one-pixel lines may take other pixels when drawn the other
// way, so a segment is always drawn from its leftmost (then topmost) end: an
// edge looks the same whichever face or vertex order reached it.
void paint_plane_segment(const Viewer& viewer, Painter& painter, const GdkColor& colour, PlanePoint from,
                         PlanePoint to) {
    const CanvasPoint a = to_canvas(viewer, from.x, from.y);
    const CanvasPoint b = to_canvas(viewer, to.x, to.y);
    if (a.column == b.column && a.row == b.row)
        paint_plane_marker(viewer, painter, colour, from);
    else if (a.column < b.column || (a.column == b.column && a.row < b.row))
        painter.line(colour, a, b);
    else
        painter.line(colour, b, a);
}

std::vector<CanvasPoint> plane_outline_polyline(const Viewer& viewer, const PlanePoint* points, int n) {
    std::vector<CanvasPoint> line;
    if (n < 3) return line;
    int start = 0;
    for (int k = 1; k < n; ++k)
        if (points[k].y < points[start].y || (points[k].y == points[start].y && points[k].x < points[start].x))
            start = k;
    const CanvasPoint first = to_canvas(viewer, points[start].x, points[start].y);
    line.push_back(first);
    int current = start;
    for (int step = 0;; ++step) {
        int candidate = (current + 1) % n;
        float ux = points[candidate].x - points[current].x;
        float uy = points[candidate].y - points[current].y;
        for (int k = 0; k < n; ++k) {
            if (points[k].x == points[current].x && points[k].y == points[current].y) continue;
            const float vx = points[k].x - points[current].x;
            const float vy = points[k].y - points[current].y;
            const float turn = uy * vx - vy * ux;
            const double d = turn;
            const bool take = d < -1e-10 || (d <= 1e-10 && d >= -1e-10 && vx * vx + vy * vy > ux * ux + uy * uy);
            if (take) {
                candidate = k;
                ux = vx;
                uy = vy;
            }
        }
        current = candidate;
        const CanvasPoint next = to_canvas(viewer, points[current].x, points[current].y);
        line.push_back(next);
        if (step == n) break;
        if (next.column == first.column && next.row == first.row) break;
    }
    return line;
}

void paint_plane_outline(const Viewer& viewer, Painter& painter, const GdkColor& colour, const PlanePoint* points,
                         int n) {
    if (n < 2) return;
    if (n == 2) {
        paint_plane_segment(viewer, painter, colour, points[0], points[1]);
        return;
    }
    const std::vector<CanvasPoint> line = plane_outline_polyline(viewer, points, n);
    painter.polyline(colour, line.data(), static_cast<int>(line.size()));
}
