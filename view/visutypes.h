// Shared records of the viewer: the number of shown dimensions, with the
// view a shown domain carries (kept with the entries that own it).
#pragma once

#include "store/visutypes.h"

// Number of visualised (non-parameter) dimensions: 1 to MAXDIM once the
// viewer runs; set only by init_visu.
extern int DimNP;
