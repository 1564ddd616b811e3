// Helpers of the viewer tests.
#include "tests/view/view_support.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <gdk/gdk.h>
#include <sstream>
#include <unistd.h>

#include "view/context.h"
#include "view/projection.h"
#include "view/visutypes.h"

Polyhedron* polyhedron_from_rows(unsigned dimension, const Rows& rows) {
    Matrix* m = Matrix_Alloc(static_cast<unsigned>(rows.size()), dimension + 2);
    for (unsigned r = 0; r < rows.size(); ++r)
        for (unsigned c = 0; c < dimension + 2; ++c) m->p[r][c] = rows[r].at(c);
    Polyhedron* p = Constraints2Polyhedron(m, 1000);
    Matrix_Free(m);
    return p;
}

Polyhedron* union_of(std::vector<Polyhedron*> polyhedra) {
    for (std::size_t i = 0; i + 1 < polyhedra.size(); ++i) polyhedra[i]->next = polyhedra[i + 1];
    return polyhedra.empty() ? nullptr : polyhedra.front();
}

Registries& viewer_test_store() {
    static Registries store;
    return store;
}

Viewer& test_viewer() {
    static Viewer viewer;
    return viewer;
}

DomainEntry* push_entry(const std::string& name, Polyhedron* domain, unsigned short red, unsigned short green,
                        unsigned short blue) {
    GdkColor colour = {0, red, green, blue};
    if (gdk_display_get_default()) gdk_colormap_alloc_color(gdk_colormap_get_system(), &colour, FALSE, TRUE);
    Registries& store = viewer_test_store();
    test_viewer().state.registries = &store;
    auto* entry = new DomainEntry{name, nullptr, domain, gdk_color_copy(&colour), nullptr, store.DomainList};
    store.DomainList = entry;
    return entry;
}

void clear_viewer_state() {
    Viewer& viewer = test_viewer();
    release_store(viewer_test_store());
    drop_derived_domains(viewer);
    release_domain(viewer.context.Contexte);
    viewer.context = ContextState{};
    viewer.state = ViewerState{};
    viewer.state.registries = &viewer_test_store();
}

std::vector<std::vector<std::int64_t>> vertices_of(const Polyhedron* p) {
    std::vector<std::vector<std::int64_t>> result;
    for (unsigned r = 0; r < p->NbRays; ++r) {
        std::vector<std::int64_t> v;
        const std::int64_t den = p->Ray[r][p->Dimension + 1];
        for (unsigned c = 1; c <= p->Dimension; ++c) v.push_back(den ? p->Ray[r][c] / den : p->Ray[r][c]);
        result.push_back(v);
    }
    std::sort(result.begin(), result.end());
    return result;
}
