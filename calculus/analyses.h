// Results printed about stored domains without storing anything: Ehrhart
// polynomials, parametric vertices, and PolyLib's constraint and ray matrices.
#pragma once

#include <optional>
#include <string>

#include "store/registry.h"

// Expect domain_lock held. The parametric analyses run in the analysis worker
// (worker/analysis_worker.h) and refuse contexts PolyLib cannot take.
void print_ehrhart(StoreSession& session, const std::string& domain_name, const std::string& ctx_name,
                   DomainEntry* list);
void print_vertices(StoreSession& session, const std::string& domain_name, const std::string& ctx_name,
                    DomainEntry* list);
void print_pl_cons(StatementReport& report, const Polyhedron* domain);
void print_pl_rays(StatementReport& report, const Polyhedron* domain);

// Makes the analysis worker before the first statement, warmed up on a small
// Ehrhart and vertices problem. False when no worker could be made (the first
// analysis tries again). Expects domain_lock held.
bool prepare_analysis_worker();

// The element format of PolyLib's matrix printer: a 64-bit value in 4 characters and a blank.
inline constexpr const char* matrix_value_format = "%4ld ";

// The body of print_vertices once PolyLib has answered: for each parametric
// domain, its validity domain and the vertices whose bit is set in its vertex
// set (bit 0 is the highest bit of the first 32-bit word).
void print_parametric_vertices(const Param_Polyhedron* result, const char** parameter_names);

// Why `context` cannot be the context of an analysis of `entry`: a union, an
// empty polyhedron, or more dimensions than the domain; nothing when it can.
std::optional<std::string> context_problem(const DomainEntry& entry, const DomainEntry& context);

// Whether a polyhedron whose last `parameters` dimensions are parameters has
// finitely many points for each value of the parameters. Sets
// `failed` when PolyLib threw. Expects domain_lock held.
bool bounded_for_fixed_parameters(const Polyhedron* polyhedron, unsigned parameters, bool& failed);
// Whether, for some value of the parameters, the polyhedron holds a whole line.
bool has_line_for_fixed_parameters(const Polyhedron* polyhedron, unsigned parameters, bool& failed);
