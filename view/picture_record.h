// A picture kept as the painter calls that drew it, to be painted again
// elsewhere: the shown domains are read once under domain_lock, and the
// figure file is written afterwards without holding it.
#pragma once

#include <string>
#include <vector>

#include "view/painter.h"

class PictureRecord : public Painter {
public:
    void clear(int width, int height) override;
    void line(const GdkColor& colour, CanvasPoint from, CanvasPoint to) override;
    void polyline(const GdkColor& colour, const CanvasPoint* points, int count) override;
    void markers(const GdkColor& colour, const CanvasPoint* centres, int count) override;
    void spans(const GdkColor& colour, const PixelSpan* spans, int count) override;
    void label(const GdkColor& colour, int x, int y, const std::string& text) override;

    // The calls again, in the order they came.
    void replay(Painter& painter) const;
    int width() const { return width_; }
    int height() const { return height_; }

private:
    enum class Kind { clear, line, polyline, markers, spans, label };
    struct Call {
        Kind kind;
        GdkColor colour;
        std::vector<CanvasPoint> points;   // line ends, polyline, marker centres, label position
        std::vector<PixelSpan> spans;
        std::string text;
    };
    std::vector<Call> calls_;
    int width_ = 0, height_ = 0;
};
