// Ehrhart enumeration, parametric vertices and raw matrices, printed with
// PolyLib's own printers.
#include "store/analyses.h"

#include <cstdio>

#include "interpreter/error_report.h"

namespace {

const char* const dash_line_35 = "\n-----------------------------------\n";

bool vertex_in_domain(const unsigned* vertex_set, int i) {
    unsigned word = vertex_set[i / 32];
    unsigned bit = 1u << (31 - i % 32);
    return (word & bit) != 0;
}

}  // namespace

void print_ehrhart(const std::string& domain_name, const std::string& ctx_name, DomainEntry* list) {
    const DomainEntry* entry = lookup_domain(domain_name, list);
    const DomainEntry* context = lookup_domain(ctx_name, list);
    if (!entry || !context) {
        std::printf("> Ehrhart : '%s' or '%s' undeclared - command ignored\n", domain_name.c_str(),
                    ctx_name.c_str());
        return;
    }
    std::vector<std::string> names = var_names_array(context->vars);
    std::vector<const char*> params = c_names(names);
    const char** pnames = params.empty() ? nullptr : params.data();
    Polyhedron* d = entry->domain;
    Polyhedron* c = context->domain;
    Enumeration* result = nullptr;
    bool ok = polylib_guarded([&] {
        Polyhedron* copy = Polyhedron_Copy(d);
        result = Polyhedron_Enumerate(copy, c, 100, nullptr);
        Polyhedron_Free(copy);
    });
    if (!ok) {
        report_polylib_failure("the Ehrhart polynomial of '" + domain_name + "'");
        return;
    }
    for (Enumeration* en = result; en; en = en->next) {
        Print_Domain(stdout, en->ValidityDomain, pnames);
        print_evalue(stdout, &en->EP, pnames);
        std::fputs(dash_line_35, stdout);
    }
    Enumeration_Free(result);
}

void print_vertices(const std::string& domain_name, const std::string& ctx_name, DomainEntry* list) {
    const DomainEntry* entry = lookup_domain(domain_name, list);
    const DomainEntry* context = lookup_domain(ctx_name, list);
    if (!entry || !context) {
        std::printf("> Vertices : '%s' or '%s' undeclared - command ignored\n", domain_name.c_str(),
                    ctx_name.c_str());
        return;
    }
    std::vector<std::string> names = var_names_array(context->vars);
    std::vector<const char*> params = c_names(names);
    const char** pnames = params.empty() ? nullptr : params.data();
    Polyhedron* d = entry->domain;
    Polyhedron* c = context->domain;
    Param_Polyhedron* result = nullptr;
    bool ok = polylib_guarded([&] {
        Polyhedron* copy = Polyhedron_Copy(d);
        result = Polyhedron2Param_Domain(copy, c, 100);
        Polyhedron_Free(copy);
    });
    if (!ok) {
        report_polylib_failure("the parametric vertices of '" + domain_name + "'");
        return;
    }
    if (!result) return;
    for (Param_Domain* pd = result->D; pd; pd = pd->next) {
        std::fputs("---------------------------------------\nDomain :\n", stdout);
        Print_Domain(stdout, pd->Domain, pnames);
        std::fputs("Vertices :\n", stdout);
        int i = 0;
        for (Param_Vertices* v = result->V; v && i < result->nbV; v = v->next, ++i) {
            if (!vertex_in_domain(pd->F, i)) continue;
            Print_Vertex(stdout, v->Vertex, pnames);
            std::fputc('\n', stdout);
        }
    }
    Param_Polyhedron_Free(result);
}

void print_pl_cons(const Polyhedron* domain) {
    for (const Polyhedron* p = domain; p; p = p->next) {
        Matrix* m = Polyhedron2Constraints(const_cast<Polyhedron*>(p));
        Matrix_Print(stdout, "%4ld ", m);
        Matrix_Free(m);
    }
}

void print_pl_rays(const Polyhedron* domain) {
    for (const Polyhedron* p = domain; p; p = p->next) {
        Matrix* m = Polyhedron2Rays(const_cast<Polyhedron*>(p));
        Matrix_Print(stdout, "%4ld ", m);
        Matrix_Free(m);
    }
}
