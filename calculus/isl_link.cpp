#include "calculus/isl_link.h"

#include <cctype>
#include <cstdlib>
#include <isl/options.h>
#include <isl/val_gmp.h>

#include <isl/constraint.h>
#include <isl/local_space.h>
#include <isl/space.h>

IslCtxPtr make_isl_context(unsigned long max_operations) {
    IslCtxPtr ctx(isl_ctx_alloc());
    if (!ctx) return ctx;
    isl_options_set_on_error(ctx.get(), ISL_ON_ERROR_CONTINUE);
    isl_ctx_set_max_operations(ctx.get(), max_operations);
    return ctx;
}

std::optional<mpq_class> rational_of(isl_val* value) {
    IslValPtr owned(value);
    if (!value || !isl_val_is_rat(value)) return std::nullopt;
    mpz_class num, den;
    isl_val_get_num_gmp(value, num.get_mpz_t());
    isl_val_get_den_gmp(value, den.get_mpz_t());
    mpq_class q(num, den);
    q.canonicalize();
    return q;
}

std::string isl_name(isl_ctx* ctx, const std::string& name, const std::string& fallback) {
    // isl decides: the name is one when it reads it back as the parameter's.
    bool plain = !name.empty();
    for (char c : name) plain = plain && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
    if (!plain) return fallback;
    IslSetPtr set(isl_set_read_from_str(ctx, ("[" + name + "] -> { : }").c_str()));
    const char* read = set ? isl_set_get_dim_name(set.get(), isl_dim_param, 0) : nullptr;
    bool same = read && name == read;
    isl_ctx_reset_error(ctx);
    return same ? name : fallback;
}

IslSetPtr isl_set_of(isl_ctx* ctx, const Polyhedron* domain, const std::vector<std::string>& names,
                     unsigned parameters) {
    const unsigned n = domain->Dimension, variables = n - parameters;
    isl_space* space = isl_space_set_alloc(ctx, parameters, variables);
    for (unsigned k = 0; k < parameters; ++k) {
        std::string name = isl_name(ctx, k + variables < names.size() ? names[k + variables] : "", "p" + std::to_string(k));
        space = isl_space_set_dim_name(space, isl_dim_param, k, name.c_str());
    }
    IslSetPtr result(isl_set_empty(isl_space_copy(space)));
    for (const Polyhedron* p = domain; p && result; p = p->next) {
        isl_basic_set* piece = isl_basic_set_universe(isl_space_copy(space));
        for (unsigned r = 0; r < p->NbConstraints; ++r) {
            const Value* row = p->Constraint[r];
            isl_local_space* ls = isl_local_space_from_space(isl_space_copy(space));
            isl_constraint* c = value_zero_p(row[0]) ? isl_constraint_alloc_equality(ls) : isl_constraint_alloc_inequality(ls);
            for (unsigned k = 0; k < n; ++k) {
                long v = static_cast<long>(value_of(row[k + 1]));
                if (v == 0) continue;
                bool parameter = k >= variables;
                c = isl_constraint_set_coefficient_val(c, parameter ? isl_dim_param : isl_dim_set,
                                                       static_cast<int>(parameter ? k - variables : k),
                                                       isl_val_int_from_si(ctx, v));
            }
            c = isl_constraint_set_constant_val(c, isl_val_int_from_si(ctx, static_cast<long>(value_of(row[n + 1]))));
            piece = isl_basic_set_add_constraint(piece, c);
        }
        result.reset(isl_set_union(result.release(), isl_set_from_basic_set(piece)));
    }
    isl_space_free(space);
    return result;
}

std::string isl_string(char* owned_text) {
    if (!owned_text) return {};
    std::string text(owned_text);
    std::free(owned_text);
    return text;
}
