// Releasing a shown domain's view and its marks.
#include "store/visutypes.h"

#include "store/linked_list.h"

void free_marks(MarkedPoint* list) { delete_list(list); }

void free_view(DomainView* view) {
    if (!view) return;
    DomainPtr drawn(view->domain);
    free_marks(view->marked);
    delete view;
}
