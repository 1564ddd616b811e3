// The viewer as one record: what is shown, the context, the projection, the
// drawing resources and the redraw's caches. The session that runs the viewer
// owns it and passes it to every function of the view that uses it; the GTK
// thread reaches it through its windows (gui/viewer_windows.h).
#pragma once

#include "view/context_state.h"
#include "view/drawing_resources.h"
#include "view/projection_state.h"
#include "view/visutypes.h"

// Caches of the redraw, each defined by the file that keeps it.
struct OutlineCache;
struct RenderingCaches;
struct PainterCaches;
class RedrawStop;
class StopRequests;

struct Viewer {
    Viewer() = default;
    // Releases the derived domains, the context copy and the caches (it takes
    // domain_lock); the drawing resources stay with the display.
    ~Viewer();
    Viewer(const Viewer&) = delete;
    Viewer& operator=(const Viewer&) = delete;

    ViewerState state;
    ContextState context;
    ProjectionState projection;
    DrawingResources drawing;
    // Made at their first use and kept while the viewer lives (kept plans
    // release PolyLib matrices, which needs domain_lock).
    OutlineCache* outline_cache = nullptr;
    RenderingCaches* rendering_caches = nullptr;
    PainterCaches* painter_caches = nullptr;
    // Set while a redraw paints the canvas: how the user stops it.
    RedrawStop* redraw_stop = nullptr;
    // Who tells of a stop asked at the terminal; none outside a session that
    // catches Ctrl-C. Set under domain_lock by the session that owns the viewer.
    const StopRequests* stop_requests = nullptr;
    // Below this many markers a batch is drawn marker by marker (tests and
    // benchmarks lower it); runs of repeated markers are skipped unless
    // turned off (the benchmarks' baseline).
    int marker_cover_threshold = 32;
    bool marker_run_skipping = true;
};

// Each defined by the file that keeps the cache. Expect domain_lock held.
void delete_cache(OutlineCache* cache);
void delete_cache(RenderingCaches* cache);
void delete_cache(PainterCaches* cache);
