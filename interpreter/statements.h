// The statements that act on the stores and the viewer, with their locks.
// Each takes ownership of the identifier strings it is given.
#pragma once

#include <cstdint>

#include "store/domain_tests.h"
#include "store/point_queries.h"

void list_statement();
void print_statement(char* name);
void del_statement(char* name);
void plprint_statement(char* name);
void plcons_statement(char* name);
void plrays_statement(char* name);

void define_binop(char* result, char* first, char* second, const char* operation);
void define_image(char* result, char* domain, char* matrix, const char* operation);
void define_disjoint(char* result, char* domain);
void define_convex(char* result, char* domain);
void vertices_statement(char* domain, char* context);
void ehrhart_statement(char* domain, char* context);

// Points, counts, extremes, loop nests, tests between domains and gist.
void point_query_statement(PointQuery query, char* domain, char* context, std::int64_t bound);
void codegen_statement(char* domain, char* context);
void domain_test_statement(DomainTest test, char* first, char* second);
void define_gist(char* result, char* domain, char* context);

// False when no X display could be opened: the viewer statements then
// answer with one line and everything else works.
extern bool display_available;

void initvisu_statement(std::int64_t dimension, char* context);
void visu_statement(char* name);
