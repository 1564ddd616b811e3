// The process-wide domain lock, the GDK lock guard, and the announcements of
// both locks to ThreadSanitizer.
#include "base/locks.h"

#include <gdk/gdk.h>

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QARNEST_THREAD_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define QARNEST_THREAD_SANITIZER 1
#endif

#if defined(QARNEST_THREAD_SANITIZER)
#include <sanitizer/tsan_interface.h>
#endif

// One per process: PolyLib's state (its exception stack among it) is the
// process's, whatever session calls it.
GMutex domain_lock;

namespace {

// GDK's lock, made ours: the toolkit has one per process.
GMutex gdk_lock;
// Per thread: whether this thread holds domain_lock.
thread_local bool holds_domain_lock = false;

void lock_announced(GMutex* mutex) {
#if defined(QARNEST_THREAD_SANITIZER)
    __tsan_mutex_pre_lock(mutex, __tsan_mutex_linker_init);
    g_mutex_lock(mutex);
    __tsan_mutex_post_lock(mutex, __tsan_mutex_linker_init, 0);
#else
    g_mutex_lock(mutex);
#endif
}

void unlock_announced(GMutex* mutex) {
#if defined(QARNEST_THREAD_SANITIZER)
    __tsan_mutex_pre_unlock(mutex, 0);
    g_mutex_unlock(mutex);
    __tsan_mutex_post_unlock(mutex, 0);
#else
    g_mutex_unlock(mutex);
#endif
}

void enter_gdk_lock() { lock_announced(&gdk_lock); }
void leave_gdk_lock() { unlock_announced(&gdk_lock); }

}  // namespace

void acquire_domain_lock() {
    lock_announced(&domain_lock);
    holds_domain_lock = true;
}

void release_domain_lock() {
    holds_domain_lock = false;
    unlock_announced(&domain_lock);
}

bool domain_lock_held_here() { return holds_domain_lock; }

void install_gdk_lock() { gdk_threads_set_lock_functions(enter_gdk_lock, leave_gdk_lock); }

GdkLock::GdkLock() { gdk_threads_enter(); }
GdkLock::~GdkLock() { gdk_threads_leave(); }
