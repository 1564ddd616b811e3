// The PolyLib exception guard: PolyLib reports overflow and some failures by
// longjmp to the innermost CATCH, and aborts the process when there is none.
#include "base/polylib.h"

bool polylib_guarded(void (*work)(void* context), void* context) {
    CATCH(any_exception_error) {
        return false;
    }
    TRY {
        work(context);
        UNCATCH(any_exception_error);
    }
    return true;
}
