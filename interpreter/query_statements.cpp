// The statements about the integer points of stored domains: points,
// counts, extremes and loop nests, the tests between domains, and gist.
#include <cstdio>

#include "base/locks.h"
#include "gui/visu_startup.h"
#include "interpreter/owned_name.h"
#include "interpreter/statements.h"
#include "store/contained_run.h"
#include "store/gist.h"

void point_query_statement(PointQuery query, char* domain, char* context, std::int64_t bound) {
    PointQuestion question{query, take_name(domain), take_name(context), static_cast<std::uint64_t>(bound),
                           analysis_cancelled};
    DomainLock lock;
    answer_point_query(stdout, question, DomainList);
}

void codegen_statement(char* domain, char* context) {
    std::string d = take_name(domain), k = take_name(context);
    DomainLock lock;
    print_codegen(stdout, d, k, DomainList);
}

void domain_test_statement(DomainTest test, char* first, char* second) {
    std::string a = take_name(first), b = second ? take_name(second) : std::string();
    DomainLock lock;
    print_domain_test(stdout, test, a, b, DomainList);
}

void define_gist(char* result, char* domain, char* context) {
    std::string r = take_name(result), d = take_name(domain), k = take_name(context);
    GdkLock gdk;
    DomainLock lock;
    DomainList = gen_pol_gist(r, d, k, DomainList);
    refresh_visu();
}
