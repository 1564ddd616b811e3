// Turning a click into the nearest integer point of the shown domains and
// toggling its mark in every shown domain that contains it.
#pragma once

#include <cstdint>

#include "view/visutypes.h"

// Expects the GDK lock held and domain_lock released (it takes it).
void pick_point(int column, int row);
MarkedPoint* toggle_mark(const std::int64_t* point, MarkedPoint* list);
