// The viewer as one record: what is shown, the context, the projection, the
// drawing resources and the redraw's caches. The GTK thread draws it, and a
// process has one GTK thread (one X connection, one toolkit loop): so it has
// one viewer, which shows the store of the session that started it.
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
    ViewerState state;
    ContextState context;
    ProjectionState projection;
    DrawingResources drawing;
    // Made at their first use and kept for the life of the process (kept
    // plans release PolyLib matrices, which needs domain_lock).
    OutlineCache* outline_cache = nullptr;
    RenderingCaches* rendering_caches = nullptr;
    PainterCaches* painter_caches = nullptr;
    // Set while a redraw paints the canvas: how the user stops it.
    RedrawStop* redraw_stop = nullptr;
    // Who tells of a stop asked at the terminal; none outside a session that
    // catches Ctrl-C. Set and cleared under domain_lock.
    const StopRequests* stop_requests = nullptr;
    // Below this many markers a batch is drawn marker by marker (tests and
    // benchmarks lower it); runs of repeated markers are skipped unless
    // turned off (the benchmarks' baseline).
    int marker_cover_threshold = 32;
    bool marker_run_skipping = true;
};
extern Viewer viewer;

// The records and their fields go by their own names.
inline ViewerState& viewer_state = viewer.state;
inline ContextState& context_state = viewer.context;
inline ProjectionState& projection_state = viewer.projection;
// The shown store's list of domains, newest first.
inline DomainEntry*& shown_domains() { return viewer_state.registries->DomainList; }
inline int& DimNP = viewer_state.DimNP;
inline auto& view_bounds = viewer_state.view_bounds;
inline Polyhedron*& visible_union = viewer_state.visible_union;
inline Polyhedron*& view_hull = viewer_state.view_hull;
inline Polyhedron*& points_union = viewer_state.points_union;
inline float& pick_x = viewer_state.pick_x;
inline float& pick_y = viewer_state.pick_y;
inline double& pick_best = viewer_state.pick_best;
inline auto& picked_point = viewer_state.picked_point;
inline Polyhedron*& Contexte = context_state.Contexte;
inline std::string& context_name = context_state.context_name;
inline int& nb_params = context_state.nb_params;
inline std::vector<std::int64_t>& param_values = context_state.param_values;
inline std::vector<int>& param_set = context_state.param_set;
inline int& context_valid = context_state.context_valid;
inline auto& ProjectionAxes = projection_state.ProjectionAxes;
inline auto& axes_bounds = projection_state.axes_bounds;
inline int& canvas_width = projection_state.canvas_width;
inline int& canvas_height = projection_state.canvas_height;
inline GtkWidget*& domain_canvas = viewer.drawing.domain_canvas;
inline GdkPixmap*& domain_pixmap = viewer.drawing.domain_pixmap;
inline GdkGC*& domain_gc = viewer.drawing.domain_gc;
inline GdkGC*& white_gc = viewer.drawing.white_gc;
inline GdkGC*& blue_gc = viewer.drawing.blue_gc;
inline GdkFont*& label_font = viewer.drawing.label_font;
inline int& marker_cover_threshold = viewer.marker_cover_threshold;
inline bool& marker_run_skipping = viewer.marker_run_skipping;
