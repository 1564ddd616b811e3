// The process-wide domain lock and the GDK lock guard.
#include "interpreter/locks.h"

#include <gdk/gdk.h>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

GMutex domain_lock;

namespace {

// GLib's mutexes are futex calls that ThreadSanitizer cannot see: in its
// builds every lock and unlock is announced to it.
void locked(GMutex* mutex) {
#if defined(__SANITIZE_THREAD__)
    __tsan_mutex_pre_lock(mutex, 0);
    g_mutex_lock(mutex);
    __tsan_mutex_post_lock(mutex, 0, 0);
#else
    g_mutex_lock(mutex);
#endif
}

void unlocked(GMutex* mutex) {
#if defined(__SANITIZE_THREAD__)
    __tsan_mutex_pre_unlock(mutex, 0);
    g_mutex_unlock(mutex);
    __tsan_mutex_post_unlock(mutex, 0);
#else
    g_mutex_unlock(mutex);
#endif
}

#if defined(__SANITIZE_THREAD__)
GMutex gdk_lock;
void enter_gdk() { locked(&gdk_lock); }
void leave_gdk() { unlocked(&gdk_lock); }
#endif

}  // namespace

void lock_domains() { locked(&domain_lock); }
void unlock_domains() { unlocked(&domain_lock); }

GdkLock::GdkLock() { gdk_threads_enter(); }
GdkLock::~GdkLock() { gdk_threads_leave(); }

void prepare_gdk_lock() {
#if defined(__SANITIZE_THREAD__)
    gdk_threads_set_lock_functions(enter_gdk, leave_gdk);
#endif
}
