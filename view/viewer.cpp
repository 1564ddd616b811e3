// The viewer's end: what it owns goes with the session that ran it.
#include "view/viewer.h"

#include <optional>

#include "base/locks.h"

Viewer::~Viewer() {
    std::optional<DomainLock> lock;
    if (!domain_lock_held_here()) lock.emplace();
    release_domain(state.visible_union);
    release_domain(state.view_hull);
    release_domain(state.points_union);
    release_domain(context.Contexte);
    delete_cache(outline_cache);
    delete_cache(rendering_caches);
    delete_cache(painter_caches);
}
