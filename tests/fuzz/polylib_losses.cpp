// Every PolyLib call of the interpreter, checked and accounted for. PolyLib
// is not thread-safe: a call made without domain_lock ends the run. And what
// PolyLib loses when it throws is kept out of the fuzzer's leak reports.
// PolyLib unwinds with longjmp: whatever the abandoned call had allocated is
// unreachable afterwards, and no caller can release it. Every PolyLib entry
// point the interpreter calls is wrapped (ld --wrap) so that the memory
// allocated during the call under way is known; when polylib_guarded reports
// that PolyLib threw, exactly that memory is handed to LeakSanitizer as
// ignored. What the interpreter allocated itself, or received from PolyLib
// calls that returned, stays under the leak check, also on the failure paths.
#include <sanitizer/allocator_interface.h>
#include <sanitizer/lsan_interface.h>
#include <unordered_set>

#include <cstdio>
#include <cstdlib>

#include "base/locks.h"
#include "base/polylib.h"

namespace {

struct CallState {
    bool inside_polylib = false;
    bool in_hook = false;
    std::unordered_set<const volatile void*>* allocated = nullptr;
};

thread_local CallState state;

// The set's own allocations must not reach the hooks while it is changed.
template <class Change>
void change_set(Change&& change) {
    state.in_hook = true;
    if (!state.allocated) state.allocated = new std::unordered_set<const volatile void*>;
    change(*state.allocated);
    state.in_hook = false;
}

void on_malloc(const volatile void* p, std::size_t) {
    if (!state.inside_polylib || state.in_hook) return;
    change_set([p](auto& set) { set.insert(p); });
}

void on_free(const volatile void* p) {
    if (!state.inside_polylib || state.in_hook) return;
    change_set([p](auto& set) { set.erase(p); });
}

const int hooks_installed = __sanitizer_install_malloc_and_free_hooks(on_malloc, on_free);

void enter_polylib(const char* function) {
    if (!domain_lock_held_here()) {
        std::fprintf(stderr, "%s called without domain_lock\n", function);
        std::abort();
    }
    change_set([](auto& set) { set.clear(); });
    state.inside_polylib = true;
}

void returned_from_polylib() {
    state.inside_polylib = false;
    change_set([](auto& set) { set.clear(); });
}

void polylib_threw() {
    state.inside_polylib = false;
    change_set([](auto& set) {
        for (const volatile void* p : set) __lsan_ignore_object(const_cast<const void*>(p));
        set.clear();
    });
}

}  // namespace

extern "C" {

bool __real__Z15polylib_guardedPFvPvES_(void (*work)(void*), void* context);

bool __wrap__Z15polylib_guardedPFvPvES_(void (*work)(void*), void* context) {
    bool finished = __real__Z15polylib_guardedPFvPvES_(work, context);
    if (!finished) polylib_threw();
    return finished;
}

#define WRAP(Result, name, parameters, arguments) \
    Result __real_##name parameters;              \
    Result __wrap_##name parameters {             \
        enter_polylib(#name);                     \
        Result result = __real_##name arguments;  \
        returned_from_polylib();                  \
        return result;                            \
    }

#define WRAP_VOID(name, parameters, arguments) \
    void __real_##name parameters;             \
    void __wrap_##name parameters {            \
        enter_polylib(#name);                  \
        __real_##name arguments;               \
        returned_from_polylib();               \
    }

WRAP(Polyhedron*, AddConstraints, (Value* c, unsigned n, Polyhedron* p, unsigned r), (c, n, p, r))
WRAP(Polyhedron*, AddPolyToDomain, (Polyhedron* p, Polyhedron* d), (p, d))
WRAP(Polyhedron*, Constraints2Polyhedron, (Matrix* m, unsigned r), (m, r))
WRAP(Polyhedron*, Disjoint_Domain, (Polyhedron* p, int flag, unsigned r), (p, flag, r))
WRAP(Polyhedron*, DomainAddRays, (Polyhedron* p, Matrix* m, unsigned r), (p, m, r))
WRAP(Polyhedron*, DomainConvex, (Polyhedron* p, unsigned r), (p, r))
WRAP(Polyhedron*, DomainDifference, (Polyhedron* a, Polyhedron* b, unsigned r), (a, b, r))
WRAP(Polyhedron*, DomainImage, (Polyhedron* p, Matrix* m, unsigned r), (p, m, r))
WRAP(Polyhedron*, DomainIntersection, (Polyhedron* a, Polyhedron* b, unsigned r), (a, b, r))
WRAP(Polyhedron*, DomainPreimage, (Polyhedron* p, Matrix* m, unsigned r), (p, m, r))
WRAP(Polyhedron*, DomainSimplify, (Polyhedron* a, Polyhedron* b, unsigned r), (a, b, r))
WRAP(Polyhedron*, DomainUnion, (Polyhedron* a, Polyhedron* b, unsigned r), (a, b, r))
WRAP(Polyhedron*, Domain_Copy, (Polyhedron* p), (p))
WRAP(Polyhedron*, Empty_Polyhedron, (unsigned d), (d))
WRAP(Matrix*, Matrix_Alloc, (unsigned rows, unsigned columns), (rows, columns))
WRAP(Matrix*, Polyhedron2Constraints, (Polyhedron* p), (p))
WRAP(Param_Polyhedron*, Polyhedron2Param_Domain, (Polyhedron* p, Polyhedron* c, int r), (p, c, r))
WRAP(Matrix*, Polyhedron2Rays, (Polyhedron* p), (p))
WRAP_VOID(Polyhedron_Compute_Dual, (Polyhedron* p), (p))
WRAP(Polyhedron*, Polyhedron_Copy, (Polyhedron* p), (p))
WRAP(Enumeration*, Polyhedron_Enumerate, (Polyhedron* p, Polyhedron* c, unsigned r, const char** names),
     (p, c, r, names))
WRAP(Polyhedron*, Universe_Polyhedron, (unsigned d), (d))
WRAP_VOID(Matrix_Print, (FILE* f, const char* format, Matrix* m), (f, format, m))
WRAP_VOID(Polyhedron_Print, (FILE* f, const char* format, const Polyhedron* p), (f, format, p))
WRAP_VOID(Print_Domain, (FILE* f, Polyhedron* d, const char** names), (f, d, names))
WRAP_VOID(Print_Vertex, (FILE* f, Matrix* v, const char** names), (f, v, names))
WRAP_VOID(print_evalue, (FILE* f, evalue* e, const char** names), (f, e, names))
WRAP_VOID(Domain_Free, (Polyhedron* p), (p))
WRAP_VOID(Polyhedron_Free, (Polyhedron* p), (p))
WRAP_VOID(Matrix_Free, (Matrix* m), (m))
WRAP_VOID(Enumeration_Free, (Enumeration* e), (e))
WRAP_VOID(Param_Polyhedron_Free, (Param_Polyhedron* p), (p))

}  // extern "C"
