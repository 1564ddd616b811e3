// The statements that act on the stores and the viewer, with their locks.
// Each takes ownership of the identifier strings it is given.
#pragma once

#include <cstdint>

#include "calculus/domain_tests.h"
#include "calculus/point_queries.h"

class Session;

void list_statement(Session& session);
void print_statement(Session& session, char* name);
void del_statement(Session& session, char* name);
void plprint_statement(Session& session, char* name);
void plcons_statement(Session& session, char* name);
void plrays_statement(Session& session, char* name);

void define_binop(Session& session, char* result, char* first, char* second, const char* operation);
void define_image(Session& session, char* result, char* domain, char* matrix, const char* operation);
void define_disjoint(Session& session, char* result, char* domain);
void define_convex(Session& session, char* result, char* domain);
void vertices_statement(Session& session, char* domain, char* context);
void ehrhart_statement(Session& session, char* domain, char* context);

// Points, counts, extremes, loop nests, tests between domains and gist.
void point_query_statement(Session& session, PointQuery query, char* domain, char* context, std::int64_t bound);
void codegen_statement(Session& session, char* domain, char* context);
void domain_test_statement(Session& session, DomainTest test, char* first, char* second);
void define_gist(Session& session, char* result, char* domain, char* context);

void initvisu_statement(Session& session, std::int64_t dimension, char* context);
void visu_statement(Session& session, char* name);
// Gives the viewer's parameters the values of session.parameter_values, as
// typing them in the Context window does.
void parameters_statement(Session& session);
// Writes the picture shown to `path` in its extension's format, width x
// height pixels (both -1: the canvas's size).
void figure_statement(Session& session, char* path, std::int64_t width, std::int64_t height);

// Sets in isl notation: a definition from its text, and a stored domain
// written in it (the context, when given, tells how many of its last
// dimensions are parameters).
void declare_isl_domain(Session& session, char* name, char* text);
void isl_statement(Session& session, char* domain, char* context);

// The store in files: saved as the statements that rebuild it and loaded
// back; a domain as PolyLib's constraint matrices and back.
void save_statement(Session& session, char* file);
void load_statement(Session& session, char* file);
void plread_statement(Session& session, char* name, char* file);
void plwrite_statement(Session& session, char* file, char* name);
