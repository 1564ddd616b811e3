// Helpers of the viewer tests: polyhedra from constraint rows, entries put in
// DomainList and removed again.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "store/registry.h"
#include "view/viewer.h"
#include "tests/support/capture.h"

using Rows = std::vector<std::vector<std::int64_t>>;

// One polyhedron of the constraint rows (flag, coefficients, constant).
// Expects domain_lock held.
Polyhedron* polyhedron_from_rows(unsigned dimension, const Rows& rows);
// A union of polyhedra, in the order given. Expects domain_lock held.
Polyhedron* union_of(std::vector<Polyhedron*> polyhedra);

// The store the viewer tests show (the viewer's shown store).
Registries& viewer_test_store();
// The viewer the tests of the view draw with; it shows that store.
Viewer& test_viewer();
// A new entry at the head of that store's DomainList, coloured with the given channels.
DomainEntry* push_entry(const std::string& name, Polyhedron* domain, unsigned short red = 0,
                        unsigned short green = 0, unsigned short blue = 0);
// Releases the shown store (every entry with its view), the derived domains and the
// context domain, and puts the context and viewer records back to their start
// values.
// Expects domain_lock held.
void clear_viewer_state();

// The integer coordinates of every generator of a polyhedron (vertices only).
std::vector<std::vector<std::int64_t>> vertices_of(const Polyhedron* p);
