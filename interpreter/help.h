// The help command.
#pragma once

#include <cstdio>

void print_help(FILE* out);
