// Results printed about stored domains without storing anything: Ehrhart
// polynomials, parametric vertices, and PolyLib's constraint and ray matrices.
#pragma once

#include <string>

#include "store/registry.h"

// Expect domain_lock held.
void print_ehrhart(const std::string& domain_name, const std::string& ctx_name, DomainEntry* list);
void print_vertices(const std::string& domain_name, const std::string& ctx_name, DomainEntry* list);
void print_pl_cons(const Polyhedron* domain);
void print_pl_rays(const Polyhedron* domain);
