// A PolyLib computation that overflows its 64-bit arithmetic, for tests of
// how a failure inside the library is contained.
#pragma once

// Builds a polyhedron from three constraints whose elimination overflows;
// PolyLib throws, so this returns false (polylib_guarded's answer).
// Expects domain_lock held, or to run in a process of its own.
bool overflowing_polylib_work();
