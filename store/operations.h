// Operations that build a new domain from stored ones and store it under a
// new name: union, intersection, difference, image, preimage, dd, convex hull.
#pragma once

#include <string>

#include "store/registry.h"

// Each returns the new head of DomainList. Expect the GDK lock and domain_lock held.
DomainEntry* gen_pol_binop(const std::string& result, const std::string& name1,
                           const std::string& name2, const std::string& op, DomainEntry* list);
DomainEntry* gen_pol_image(const std::string& result, const std::string& domain_name,
                           const std::string& matrix_name, const std::string& op, DomainEntry* list);
DomainEntry* gen_pol_disjoint(const std::string& result, const std::string& name, DomainEntry* list);
DomainEntry* gen_pol_convex(const std::string& result, const std::string& name, DomainEntry* list);
