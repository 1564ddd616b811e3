// The recorded painter calls of a picture and their replay.
#include "view/picture_record.h"

void PictureRecord::clear(int width, int height) {
    width_ = width;
    height_ = height;
    calls_.push_back({Kind::clear, GdkColor{}, {CanvasPoint{width, height}}, {}, {}});
}

void PictureRecord::line(const GdkColor& colour, CanvasPoint from, CanvasPoint to) {
    calls_.push_back({Kind::line, colour, {from, to}, {}, {}});
}

void PictureRecord::polyline(const GdkColor& colour, const CanvasPoint* points, int count) {
    if (count <= 0) return;
    calls_.push_back({Kind::polyline, colour, {points, points + count}, {}, {}});
}

void PictureRecord::markers(const GdkColor& colour, const CanvasPoint* centres, int count) {
    if (count <= 0) return;
    calls_.push_back({Kind::markers, colour, {centres, centres + count}, {}, {}});
}

void PictureRecord::spans(const GdkColor& colour, const PixelSpan* spans, int count) {
    if (count <= 0) return;
    calls_.push_back({Kind::spans, colour, {}, {spans, spans + count}, {}});
}

void PictureRecord::label(const GdkColor& colour, int x, int y, const std::string& text) {
    calls_.push_back({Kind::label, colour, {CanvasPoint{x, y}}, {}, text});
}

void PictureRecord::replay(Painter& painter) const {
    for (const Call& call : calls_) {
        const int count = static_cast<int>(call.points.size());
        switch (call.kind) {
        case Kind::clear: painter.clear(call.points[0].column, call.points[0].row); break;
        case Kind::line: painter.line(call.colour, call.points[0], call.points[1]); break;
        case Kind::polyline: painter.polyline(call.colour, call.points.data(), count); break;
        case Kind::markers: painter.markers(call.colour, call.points.data(), count); break;
        case Kind::spans:
            painter.spans(call.colour, call.spans.data(), static_cast<int>(call.spans.size()));
            break;
        case Kind::label: painter.label(call.colour, call.points[0].column, call.points[0].row, call.text); break;
        }
    }
}
