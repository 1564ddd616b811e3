// The gist of a domain in a context: the domain simplified by what the
// context already says (PolyLib's DomainSimplify), stored like the result of
// any other operation.
#pragma once

#include <string>

#include "calculus/domain_work.h"
#include "store/registry.h"

// Stores under `result` the domain `name` simplified in the context `ctx_name`
// (a polyhedron over the domain's last dimensions, or all of them): the result
// intersected with the context is the domain intersected with it, and it has
// no more constraints than the domain. Returns the new head of DomainList.
// Expects the GDK lock and domain_lock held.
DomainEntry* gen_pol_gist(StoreSession& session, const std::string& result, const std::string& name, const std::string& ctx_name,
                          DomainEntry* list);

// The gist's work and its exact check: Made with the simplified domain,
// LibraryFailed when PolyLib threw, WrappedAround when the result is not the
// domain within the context. Runs in the worker for large domains. Expects
// domain_lock held.
MadeDomain simplified_domain(const Polyhedron* domain, const Polyhedron* context);
