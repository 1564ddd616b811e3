#include "store/isl_link.h"

#include <cstdlib>
#include <isl/options.h>
#include <isl/val_gmp.h>

#include "store/isl_notation.h"

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

IslSetPtr isl_set_of(isl_ctx* ctx, const Polyhedron* domain, const std::vector<std::string>& names,
                     unsigned parameters) {
    // Our own writer gives every constraint exactly, in the notation isl reads.
    std::string text = isl_text(domain, names, parameters);
    return IslSetPtr(isl_set_read_from_str(ctx, text.c_str()));
}

std::string isl_string(char* owned_text) {
    if (!owned_text) return {};
    std::string text(owned_text);
    std::free(owned_text);
    return text;
}
