// The statements about the integer points of stored domains: points,
// counts, extremes and loop nests, the tests between domains, and gist.
#include <cstdio>

#include "base/locks.h"
#include "gui/visu_startup.h"
#include "interpreter/owned_name.h"
#include "interpreter/session.h"
#include "interpreter/statements.h"
#include "calculus/gist.h"

void point_query_statement(Session& session, PointQuery query, char* domain, char* context, std::int64_t bound) {
    PointQuestion question{query, take_name(domain), take_name(context), static_cast<std::uint64_t>(bound)};
    DomainLock lock;
    answer_point_query(session, question, session.registries.DomainList);
}

void codegen_statement(Session& session, char* domain, char* context) {
    std::string d = take_name(domain), k = take_name(context);
    DomainLock lock;
    print_codegen(session, d, k, session.registries.DomainList);
}

void domain_test_statement(Session& session, DomainTest test, char* first, char* second) {
    std::string a = take_name(first), b = second ? take_name(second) : std::string();
    DomainLock lock;
    print_domain_test(session, test, a, b, session.registries.DomainList);
}

void define_gist(Session& session, char* result, char* domain, char* context) {
    std::string r = take_name(result), d = take_name(domain), k = take_name(context);
    GdkLock gdk;
    DomainLock lock;
    session.registries.DomainList = gen_pol_gist(session, r, d, k, session.registries.DomainList);
    refresh_visu(session.viewer_windows, session.registries);
}
