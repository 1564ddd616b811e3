// The two locks of the process. Order: the GDK lock first, then domain_lock;
// a thread holding domain_lock never waits for the GDK lock. Neither is recursive.
#pragma once

#include <glib.h>

// Guards DomainList, every DomainView, the derived view domains, the context
// state, and every PolyLib call (PolyLib keeps global state).
extern GMutex domain_lock;

void lock_domains();
void unlock_domains();

class DomainLock {
public:
    DomainLock() { lock_domains(); }
    ~DomainLock() { unlock_domains(); }
    DomainLock(const DomainLock&) = delete;
    DomainLock& operator=(const DomainLock&) = delete;
};

// Releases domain_lock for its lifetime (held on entry, held again on exit).
class DomainUnlock {
public:
    DomainUnlock() { unlock_domains(); }
    ~DomainUnlock() { lock_domains(); }
    DomainUnlock(const DomainUnlock&) = delete;
    DomainUnlock& operator=(const DomainUnlock&) = delete;
};

// The toolkit's global lock, held around every GTK and GDK call.
class GdkLock {
public:
    GdkLock();
    ~GdkLock();
    GdkLock(const GdkLock&) = delete;
    GdkLock& operator=(const GdkLock&) = delete;
};

// Called before gdk_threads_init. In ThreadSanitizer builds the GDK lock is
// given functions that tell the sanitizer about it (GLib's mutexes are
// futex-based and invisible to it); otherwise GDK keeps its own.
void prepare_gdk_lock();
