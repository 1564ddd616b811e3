// The statements that act on the stores and the viewer, with their locks.
// Each takes ownership of the identifier strings it is given.
#pragma once

#include <cstdint>

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

// False when no X display could be opened: the viewer statements then
// answer with one line and everything else works.
extern bool display_available;

void initvisu_statement(std::int64_t dimension, char* context);
void visu_statement(char* name);
// Writes the picture shown to `path` in its extension's format, width x
// height pixels (both -1: the canvas's size).
void figure_statement(char* path, std::int64_t width, std::int64_t height);
