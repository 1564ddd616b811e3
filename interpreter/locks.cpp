// The process-wide domain lock and the GDK lock guard.
#include "interpreter/locks.h"

#include <gdk/gdk.h>

GMutex domain_lock;

GdkLock::GdkLock() { gdk_threads_enter(); }
GdkLock::~GdkLock() { gdk_threads_leave(); }
