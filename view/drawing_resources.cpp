// The process's one viewer, empty until init_visu starts it.
#include "view/viewer.h"

Viewer viewer;
