// The context and the shown domains: restriction of parametric domains to
// the parameter values, showing a domain, the derived domains (union, hull,
// union with drawn points) and the marks shared between views.
#include "view/context.h"

#include <cstdio>

#include "view/failure.h"
#include "view/point_scanner.h"
#include "view/projection.h"


namespace {

constexpr unsigned max_rays = 1000;

// The constraints of p with every parameter replaced by its value; false on a
// 64-bit overflow of the new constants. Plain pointers: PolyLib may throw.
bool fix_parameters(const Viewer& viewer, const Polyhedron* p, Matrix* m) {
    const unsigned shown = static_cast<unsigned>(viewer.state.DimNP);
    const unsigned constant = p->Dimension + 1;
    for (unsigned r = 0; r < p->NbConstraints; ++r) {
        const Value* row = p->Constraint[r];
        for (unsigned c = 0; c <= shown; ++c) m->p[r][c] = row[c];
        std::int64_t value = value_of(row[constant]);
        for (int k = 0; k < viewer.context.nb_params; ++k) {
            std::int64_t term;
            if (__builtin_mul_overflow(value_of(row[shown + 1 + k]), viewer.context.param_values[k], &term) ||
                __builtin_add_overflow(value, term, &value))
                return false;
        }
        m->p[r][shown + 1] = value;
    }
    return true;
}

Polyhedron* restrict_list(const Viewer& viewer, const Polyhedron* p, bool& overflow) {
    if (!p) return nullptr;
    Matrix* m = Matrix_Alloc(p->NbConstraints, static_cast<unsigned>(viewer.state.DimNP) + 2);
    if (!fix_parameters(viewer, p, m)) {
        overflow = true;
        Matrix_Free(m);
        return nullptr;
    }
    Polyhedron* restricted = Constraints2Polyhedron(m, max_rays);
    Matrix_Free(m);
    Polyhedron* rest = restrict_list(viewer, p->next, overflow);
    if (overflow) {
        Polyhedron_Free(restricted);
        return nullptr;
    }
    Polyhedron* result = AddPolyToDomain(restricted, rest);
    if (result && emptyQ(result)) {
        Domain_Free(result);
        result = nullptr;
    }
    return result;
}

bool fits_parameters(const Viewer& viewer, const Polyhedron* domain) {
    if (viewer.context.nb_params < 0 || static_cast<int>(viewer.context.param_values.size()) < viewer.context.nb_params)
        return false;
    for (const Polyhedron* p = domain; p; p = p->next)
        if (p->Dimension != static_cast<unsigned>(viewer.state.DimNP + viewer.context.nb_params)) return false;
    return true;
}

// True when the domain has no polyhedron or its first has no generators.
bool first_polyhedron_empty(const Polyhedron* domain) { return !domain || domain->NbRays == 0; }

// Whether the list already holds a point with these DimNP coordinates.
bool holds_point(const Viewer& viewer, const MarkedPoint* list, const std::int64_t* coords) {
    for (const MarkedPoint* m = list; m; m = m->next) {
        bool same = true;
        for (int k = 0; k < viewer.state.DimNP && same; ++k) same = m->coords[k] == coords[k];
        if (same) return true;
    }
    return false;
}

// Copies of every polyhedron of the views' domains, in DomainList order;
// null when none. Plain pointers: PolyLib may throw.
Polyhedron* union_of_views(const Viewer& viewer, bool only_shown_points) {
    Polyhedron* result = nullptr;
    for (DomainEntry* e = viewer.state.registries->DomainList; e; e = e->next) {
        if (!e->view || (only_shown_points && !e->view->show_points)) continue;
        for (Polyhedron* p = e->view->domain; p; p = p->next) result = AddPolyToDomain(Polyhedron_Copy(p), result);
    }
    return result;
}

void finish_show(Viewer& viewer) {
    update_view_hull(viewer);
    update_axes_bounds(viewer);
}

}  // namespace

Polyhedron* restrict_to_context(const Viewer& viewer, const Polyhedron* domain, bool* failed) {
    if (failed) *failed = false;
    if (!domain) return nullptr;
    if (!fits_parameters(viewer, domain)) {
        if (failed) *failed = true;
        return nullptr;
    }
    Polyhedron* result = nullptr;
    bool overflow = false;
    bool ok = polylib_guarded([&] { result = restrict_list(viewer, domain, overflow); });
    if (!ok || overflow) {
        if (failed) *failed = true;
        return nullptr;
    }
    return result;
}

bool domain_is_bounded(const Polyhedron* domain) {
    for (const Polyhedron* p = domain; p; p = p->next)
        for (unsigned r = 0; r < p->NbRays; ++r)
            if (p->Ray[r][p->Dimension + 1] == 0) return false;
    return true;
}

int show_with_context(Viewer& viewer, DomainEntry* entry) {
    int result = 0;
    const char* name = entry->name.c_str();
    if (viewer.context.context_valid == 1) {
        bool failed = false;
        Polyhedron* restricted = nullptr;
        if (entry->domain->Dimension - static_cast<unsigned>(viewer.context.nb_params) !=
            static_cast<unsigned>(viewer.state.DimNP)) {
            std::printf("Domain %s can't be vizualized with this context!\n", name);
        } else if (!(restricted = restrict_to_context(viewer, entry->domain, &failed))) {
            if (failed)
                std::printf("Domain %s can't be restricted to these parameter values!\n", name);
            else
                std::printf("Empty domain %s!\n", name);
        } else if (!domain_is_bounded(restricted)) {
            std::printf("Domain %s is not bounded!\n", name);
            DomainPtr unbounded(restricted);
        } else {
            if (!entry->view) entry->view = new DomainView{nullptr, 1, nullptr};
            release_domain(entry->view->domain);
            entry->view->domain = restricted;
            free_marks(entry->view->marked);
            entry->view->marked = nullptr;
            entry->view->marked = collect_marks(viewer, entry);
            result = 1;
        }
    }
    finish_show(viewer);
    return result;
}

int show_without_context(Viewer& viewer, DomainEntry* entry) {
    int result = 0;
    const char* name = entry->name.c_str();
    Polyhedron* copy = nullptr;
    if (entry->domain->Dimension != static_cast<unsigned>(viewer.state.DimNP)) {
        std::printf("Domain %s can't be visualized!\n", name);
    } else if (first_polyhedron_empty(entry->domain)) {
        std::printf("Empty domain %s!\n", name);
    } else if (!domain_is_bounded(entry->domain)) {
        std::printf("Domain %s is not bounded!\n", name);
    } else if (!polylib_guarded([&] { copy = Domain_Copy(entry->domain); }) || !copy) {
        report_viewer_failure("copy the domain to show");
    } else {
        if (entry->view) free_view(entry->view);
        entry->view = new DomainView{copy, 1, nullptr};
        result = 1;
    }
    finish_show(viewer);
    return result;
}

bool parameter_values_outside_context(const Viewer& viewer) {
    if (viewer.context.nb_params <= 0 || !viewer.context.Contexte ||
        viewer.context.param_set.size() < static_cast<std::size_t>(viewer.context.nb_params) ||
        viewer.context.param_values.size() < static_cast<std::size_t>(viewer.context.nb_params))
        return false;
    for (int k = 0; k < viewer.context.nb_params; ++k)
        if (!viewer.context.param_set[k]) return false;
    return !point_in_domain(viewer.context.Contexte, viewer.context.param_values.data());
}

void drop_derived_domains(Viewer& viewer) {
    release_domain(viewer.state.visible_union);
    release_domain(viewer.state.view_hull);
    release_domain(viewer.state.points_union);
}

void update_view_hull(Viewer& viewer) {
    release_domain(viewer.state.visible_union);
    release_domain(viewer.state.view_hull);
    Polyhedron* joined = nullptr;
    Polyhedron* hull = nullptr;
    bool ok = polylib_guarded([&] {
        joined = union_of_views(viewer, false);
        if (joined) hull = DomainConvex(joined, max_rays);
    });
    if (!ok) {
        DomainPtr partial(joined);
        report_viewer_failure("frame the shown domains");
        return;
    }
    viewer.state.visible_union = joined;
    viewer.state.view_hull = hull;
}

void update_points_union(Viewer& viewer) {
    release_domain(viewer.state.points_union);
    Polyhedron* joined = nullptr;
    if (!polylib_guarded([&] { joined = union_of_views(viewer, true); })) {
        report_viewer_failure("join the domains whose points are shown");
        return;
    }
    viewer.state.points_union = joined;
}

MarkedPoint* collect_marks(const Viewer& viewer, DomainEntry* entry) {
    MarkedPoint* result = nullptr;
    if (!entry->view) return result;
    const Polyhedron* own = entry->view->domain;
    for (DomainEntry* e = viewer.state.registries->DomainList; e; e = e->next) {
        if (!e->view) continue;
        for (const MarkedPoint* m = e->view->marked; m; m = m->next) {
            if (!point_in_domain(own, m->coords) || holds_point(viewer, result, m->coords)) continue;
            auto* copy = new MarkedPoint{};
            for (int k = 0; k < viewer.state.DimNP && k < MAXDIM; ++k) copy->coords[k] = m->coords[k];
            copy->next = result;
            result = copy;
        }
    }
    return result;
}
