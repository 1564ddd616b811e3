// libisl, for what PolyLib lacks: parametric integer programming and the
// isl notation of piecewise answers. Owning handles that free isl objects
// with isl's own functions, a context that stays silent on errors and stops
// after a bounded amount of work, and the way a stored domain becomes an
// isl set.
#pragma once

#include <gmpxx.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <isl/aff.h>
#include <isl/ctx.h>
#include <isl/set.h>
#include <isl/val.h>

#include "base/polylib.h"

struct IslCtxFree {
    void operator()(isl_ctx* c) const { isl_ctx_free(c); }
};
struct IslSetFree {
    void operator()(isl_set* s) const { isl_set_free(s); }
};
struct IslBasicSetFree {
    void operator()(isl_basic_set* s) const { isl_basic_set_free(s); }
};
struct IslPwMultiAffFree {
    void operator()(isl_pw_multi_aff* m) const { isl_pw_multi_aff_free(m); }
};
struct IslMultiAffFree {
    void operator()(isl_multi_aff* m) const { isl_multi_aff_free(m); }
};
struct IslAffFree {
    void operator()(isl_aff* a) const { isl_aff_free(a); }
};
struct IslValFree {
    void operator()(isl_val* v) const { isl_val_free(v); }
};
using IslCtxPtr = std::unique_ptr<isl_ctx, IslCtxFree>;
using IslSetPtr = std::unique_ptr<isl_set, IslSetFree>;
using IslBasicSetPtr = std::unique_ptr<isl_basic_set, IslBasicSetFree>;
using IslPwMultiAffPtr = std::unique_ptr<isl_pw_multi_aff, IslPwMultiAffFree>;
using IslMultiAffPtr = std::unique_ptr<isl_multi_aff, IslMultiAffFree>;
using IslAffPtr = std::unique_ptr<isl_aff, IslAffFree>;
using IslValPtr = std::unique_ptr<isl_val, IslValFree>;

// A context for one statement: errors are returned (null objects), never
// printed or fatal, and a computation stops after `max_operations` steps.
IslCtxPtr make_isl_context(unsigned long max_operations);

// The exact value of an integer or rational isl value; nothing for NaN or
// an infinity. Takes the value.
std::optional<mpq_class> rational_of(isl_val* value);

// `name` when isl reads it as a name, else `fallback`.
std::string isl_name(isl_ctx* ctx, const std::string& name, const std::string& fallback);

// The union of the polyhedra of `domain` as an isl set, its last
// `parameters` dimensions as parameters named as `names` names them (those
// isl would not read as names by position, p0, p1, ...). Null when isl
// refused it.
IslSetPtr isl_set_of(isl_ctx* ctx, const Polyhedron* domain, const std::vector<std::string>& names,
                     unsigned parameters);

// The isl text of an object, or empty.
std::string isl_string(char* owned_text);
