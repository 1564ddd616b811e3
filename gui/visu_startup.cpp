// Viewer start-up and refresh.
#include "gui/visu_startup.h"

#include <cstdio>

#include "gui/visu_window.h"
#include "interpreter/locks.h"
#include "store/registry.h"
#include "view/visutypes.h"

std::string requested_context_name;

void init_visu(long dimension, const std::string& context_name) {
    if (dimension <= 0) {
        std::puts("Bad initialisation of 'init_visu': DimNP <= 0 ");
        return;
    }
    if (dimension > MAXDIM) {
        std::puts("Bad initialisation of 'init_visu': DimNP > MAXDIM ");
        std::printf("Now MAXDIM = %d. ", MAXDIM);
        std::puts("If you want you can rebuild after increase MAXDIM in the file 'visutypes.h'");
        return;
    }
    {
        DomainLock lock;
        if (!lookup_domain(context_name, DomainList)) {
            std::puts("The domain selected as context is not defined!");
            return;
        }
    }
    // PLACEHOLDER: windows come with the viewer.
}

void refresh_visu() {
    if (!domain_frame) return;
}
