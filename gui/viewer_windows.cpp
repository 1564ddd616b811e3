// The process's one set of viewer windows, empty until init_visu starts the viewer.
#include "gui/viewer_windows.h"

ViewerWindows viewer_windows;
