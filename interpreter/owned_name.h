// Identifier strings handed over by the scanner are malloc'd copies.
#pragma once

#include <cstdlib>
#include <string>

inline std::string take_name(char* text) {
    std::string name(text);
    std::free(text);
    return name;
}
