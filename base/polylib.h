// PolyLib access: the 64-bit library headers, owning handles that release
// PolyLib objects with PolyLib's own functions, and a guard for its exceptions.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <polylib/polylib64.h>
}

// PolyLib's bitwise value macros would rewrite std::optional::value_or, and
// its comparison macro std::map's value_compare.
#undef value_or
#undef value_and
#undef value_compare

struct DomainFree {
    void operator()(Polyhedron* p) const { Domain_Free(p); }
};
using DomainPtr = std::unique_ptr<Polyhedron, DomainFree>;   // owns a whole union

struct PolyhedronFree {
    void operator()(Polyhedron* p) const { Polyhedron_Free(p); }
};
using PolyhedronPtr = std::unique_ptr<Polyhedron, PolyhedronFree>;   // owns one polyhedron

struct MatrixFree {
    void operator()(Matrix* m) const { Matrix_Free(m); }
};
using MatrixPtr = std::unique_ptr<Matrix, MatrixFree>;

// Frees the union a C-shaped field owns and leaves the field empty.
inline void release_domain(Polyhedron*& owned) { DomainPtr released(std::exchange(owned, nullptr)); }

// Runs `work` with a PolyLib exception handler installed. Returns false when
// PolyLib threw: the work was abandoned part-way and whatever it allocated is
// lost to the library. PolyLib unwinds with longjmp, so `work` must keep its
// own state in plain variables (no live C++ destructors) while it calls PolyLib.
// Expects domain_lock held: the exception stack is PolyLib global state.
bool polylib_guarded(void (*work)(void* context), void* context);

template <class Work>
bool polylib_guarded(Work&& work) {
    return polylib_guarded([](void* context) { (*static_cast<Work*>(context))(); },
                           static_cast<void*>(&work));
}

// Value of a PolyLib matrix or polyhedron entry, as a plain 64-bit integer.
inline std::int64_t value_of(const Value& v) { return static_cast<std::int64_t>(v); }
