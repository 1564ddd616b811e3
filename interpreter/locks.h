// The two locks of the process. Order: the GDK lock first, then domain_lock;
// a thread holding domain_lock never waits for the GDK lock. Neither is recursive.
#pragma once

#include <glib.h>

// Guards DomainList, every DomainView, the derived view domains, the context
// state, and every PolyLib call (PolyLib keeps global state).
extern GMutex domain_lock;

class DomainLock {
public:
    DomainLock() { g_mutex_lock(&domain_lock); }
    ~DomainLock() { g_mutex_unlock(&domain_lock); }
    DomainLock(const DomainLock&) = delete;
    DomainLock& operator=(const DomainLock&) = delete;
};

// Releases domain_lock for its lifetime (held on entry, held again on exit).
class DomainUnlock {
public:
    DomainUnlock() { g_mutex_unlock(&domain_lock); }
    ~DomainUnlock() { g_mutex_lock(&domain_lock); }
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
