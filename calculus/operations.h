// Operations that build a new domain from stored ones and store it under a
// new name: union, intersection, difference, image, preimage, dd, convex hull.
#pragma once

#include <optional>
#include <string>

#include "calculus/exact_check.h"
#include "store/registry.h"

struct DomainWork;

// The result of the work, here or in the worker, or none after its failure's
// one line (the definition of `result` is then abandoned).
DomainPtr made_domain(StoreSession& session, const DomainWork& work, const std::string& what,
                      const std::string& result);

// Names i, j, k, ... (a name per character code from 'i' on) for a domain
// whose variables have no names of their own: the image or preimage that
// changes the dimension, a domain read from PolyLib's matrices.
VarNode* fresh_var_list(unsigned dimension);

// Each returns the new head of DomainList. Expect the GDK lock and domain_lock held.
// The two operands of union, inter and diff must have one dimension: PolyLib
// would print its own complaint and return nothing.
DomainEntry* gen_pol_binop(StoreSession& session, const std::string& result, const std::string& name1,
                           const std::string& name2, const std::string& op, DomainEntry* list);
DomainEntry* gen_pol_image(StoreSession& session, const std::string& result, const std::string& domain_name,
                           const std::string& matrix_name, const std::string& op, DomainEntry* list);
DomainEntry* gen_pol_disjoint(StoreSession& session, const std::string& result, const std::string& name, DomainEntry* list);
DomainEntry* gen_pol_convex(StoreSession& session, const std::string& result, const std::string& name, DomainEntry* list);

// Why `matrix` cannot map a domain of this dimension by `op` ("image" or
// "preimage"), or nothing when it can. An image needs dimension + 1 columns,
// a preimage dimension + 1 rows, and either needs the last row of an affine
// map in homogeneous form, (0, ..., 0, d) with d > 0: PolyLib gives an empty
// domain of the wrong dimension for a size mismatch and a meaningless one for
// any other last row.
std::optional<std::string> image_matrix_problem(const Matrix* matrix, unsigned dimension, const std::string& op);

// Whether PolyLib's result of an operation is exactly the set the operation
// defines from its operands (no 64-bit value wrapped around inside PolyLib).
// For a difference and a disjoint decomposition every piece is shown exact,
// inside the operand and (difference) outside the second operand; that
// the pieces cover the operand rests on PolyLib. Expect domain_lock held.
bool exact_binop_result(const std::string& op, const Polyhedron* result, const Polyhedron* d1, const Polyhedron* d2);
bool exact_image_result(const std::string& op, const Polyhedron* result, const Polyhedron* domain,
                        const Matrix* matrix);
bool exact_convex_result(const Polyhedron* result, const Polyhedron* domain);
bool exact_disjoint_result(const Polyhedron* result, const Polyhedron* domain);

// Whether PolyLib's polyhedron of a declaration is exactly the one its
// constraint rows declare (no 64-bit value wrapped around on the way).
// Expects domain_lock held.
bool exact_declared_domain(const Polyhedron* domain, const ConeConstraints& declared);
