// The two locks of the process. Order: the GDK lock first, then domain_lock;
// a thread holding domain_lock never waits for the GDK lock. Neither is recursive.
#pragma once

#include <glib.h>

// Guards every session's DomainList, every DomainView, the derived view
// domains, the context state, and every PolyLib call (PolyLib keeps global
// state, so the lock is one per process).
extern GMutex domain_lock;

// Lock and unlock domain_lock, telling ThreadSanitizer (which cannot see
// GLib's futex-based mutexes) in a thread-checking build.
void acquire_domain_lock();
void release_domain_lock();
// Whether the calling thread holds domain_lock (taken by the functions above).
bool domain_lock_held_here();

class DomainLock {
public:
    DomainLock() { acquire_domain_lock(); }
    ~DomainLock() { release_domain_lock(); }
    DomainLock(const DomainLock&) = delete;
    DomainLock& operator=(const DomainLock&) = delete;
};

// Releases domain_lock for its lifetime (held on entry, held again on exit).
class DomainUnlock {
public:
    DomainUnlock() { release_domain_lock(); }
    ~DomainUnlock() { acquire_domain_lock(); }
    DomainUnlock(const DomainUnlock&) = delete;
    DomainUnlock& operator=(const DomainUnlock&) = delete;
};

// Makes the toolkit's lock a GLib mutex of ours, which a thread-checking
// build announces to ThreadSanitizer like domain_lock. Before gdk_threads_init.
void install_gdk_lock();

// The toolkit's global lock, held around every GTK and GDK call.
class GdkLock {
public:
    GdkLock();
    ~GdkLock();
    GdkLock(const GdkLock&) = delete;
    GdkLock& operator=(const GdkLock&) = delete;
};
