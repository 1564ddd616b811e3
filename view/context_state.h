// The context of the viewer: its domain and the parameter values typed for it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/polylib.h"

// The context of the viewer and the parameter values typed for it; guarded
// by domain_lock.
struct ContextState {
    Polyhedron* Contexte = nullptr;   // owned copy of the context domain
    std::string context_name;
    int nb_params = 0;                // dimension of Contexte, 0 when it is empty
    std::vector<std::int64_t> param_values;
    std::vector<int> param_set;
    int context_valid = 0;
};
